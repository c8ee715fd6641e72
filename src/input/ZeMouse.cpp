#include "input/ZeMouse.h"

#include "input/ZenKeybd.h"

namespace quillon::input {
namespace {
constexpr int kClickPauseMs = 100;
}

TZeMouse::TZeMouse(platform::Mouse* mouse) : m_mouse(mouse) {}

bool TZeMouse::send(int flags)
{
    if (!m_mouse)
        return false;
    m_mouse->sendButtons(flags);
    return true;
}

bool TZeMouse::click(int downFlags, int upFlags)
{
    if (!send(downFlags))
        return false;
    TZenKeybd::MsgDelay(kClickPauseMs);
    return send(upFlags);
}

bool TZeMouse::LeftClick()
{
    return click(platform::kMouseLeftDown, platform::kMouseLeftUp);
}

bool TZeMouse::RightClick()
{
    return click(platform::kMouseRightDown, platform::kMouseRightUp);
}

bool TZeMouse::LeftDown()
{
    return send(platform::kMouseLeftDown);
}

bool TZeMouse::LeftUp()
{
    return send(platform::kMouseLeftUp);
}

bool TZeMouse::RightDown()
{
    return send(platform::kMouseRightDown);
}

bool TZeMouse::RightUp()
{
    return send(platform::kMouseRightUp);
}

}  // namespace quillon::input
