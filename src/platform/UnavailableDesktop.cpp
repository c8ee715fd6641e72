#include "platform/UnavailableDesktop.h"

namespace quillon::platform {

UnavailableDesktop::UnavailableDesktop(QString reason) : m_reason(std::move(reason)) {}

bool UnavailableDesktop::readKeyState(KeyState& state)
{
    state.fill(0);
    return false;
}

Result UnavailableDesktop::sendKey(int, int, int)
{
    return Result::failure(m_reason);
}

int UnavailableDesktop::scanCode(int)
{
    return 0;
}

Result UnavailableDesktop::sendButtons(int)
{
    return Result::failure(m_reason);
}

std::optional<Point> UnavailableDesktop::cursorPos()
{
    return std::nullopt;
}

Result UnavailableDesktop::status()
{
    return Result::failure(m_reason);
}

std::vector<WindowHandle> UnavailableDesktop::topLevelWindows()
{
    return {};
}

std::vector<WindowHandle> UnavailableDesktop::children(WindowHandle)
{
    return {};
}

WindowHandle UnavailableDesktop::parent(WindowHandle)
{
    return 0;
}

QString UnavailableDesktop::title(WindowHandle)
{
    return {};
}

QString UnavailableDesktop::className(WindowHandle)
{
    return {};
}

bool UnavailableDesktop::setTitle(WindowHandle, const QString&)
{
    return false;
}

bool UnavailableDesktop::click(WindowHandle)
{
    return false;
}

bool UnavailableDesktop::activate(WindowHandle)
{
    return false;
}

std::optional<Rect> UnavailableDesktop::frameRect(WindowHandle)
{
    return std::nullopt;
}

std::optional<Point> UnavailableDesktop::clientOrigin(WindowHandle)
{
    return std::nullopt;
}

void UnavailableDesktop::setCallback(Callback) {}

Result UnavailableDesktop::grab(int, int, int)
{
    return Result::failure(m_reason);
}

void UnavailableDesktop::ungrab(int) {}

std::unique_ptr<KeyWatch> UnavailableDesktop::watch(Wake)
{
    return nullptr;
}

bool UnavailableDesktop::open(const QString&, const QString&)
{
    return false;
}

UnavailableDesktop& noDesktop()
{
    static UnavailableDesktop desktop;
    return desktop;
}

}  // namespace quillon::platform
