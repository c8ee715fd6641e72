#include "input/ZeMouse.h"

#include "input/ZenKeybd.h"

namespace quillon::input {
namespace {
constexpr int kClickPauseMs = 100;
}

TZeMouse::TZeMouse(platform::Mouse& mouse) : m_mouse(mouse) {}

platform::Result TZeMouse::click(int downFlags, int upFlags)
{
    if (platform::Result down = m_mouse.sendButtons(downFlags); !down)
        return down;
    TZenKeybd::MsgDelay(kClickPauseMs);
    return m_mouse.sendButtons(upFlags);
}

platform::Result TZeMouse::LeftClick()
{
    return click(platform::kMouseLeftDown, platform::kMouseLeftUp);
}

platform::Result TZeMouse::RightClick()
{
    return click(platform::kMouseRightDown, platform::kMouseRightUp);
}

platform::Result TZeMouse::LeftDown()
{
    return m_mouse.sendButtons(platform::kMouseLeftDown);
}

platform::Result TZeMouse::LeftUp()
{
    return m_mouse.sendButtons(platform::kMouseLeftUp);
}

platform::Result TZeMouse::RightDown()
{
    return m_mouse.sendButtons(platform::kMouseRightDown);
}

platform::Result TZeMouse::RightUp()
{
    return m_mouse.sendButtons(platform::kMouseRightUp);
}

}  // namespace quillon::input
