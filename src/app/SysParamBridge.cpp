#include "app/SysParamBridge.h"

#include "app/SysParamWords.h"
#include "base/ZeMath.h"
#include "platform/UnavailableDesktop.h"

#include <QStringList>

namespace quillon::app {
namespace {

bool fail(QString* error, const QString& description)
{
    if (error)
        *error = description;
    return false;
}

bool needPieces(const QString& word, const QStringList& pieces, int count, QString* error)
{
    if (pieces.size() >= count)
        return true;
    return fail(error, QStringLiteral("%1 needs %2 value(s), but %3 given")
                           .arg(word)
                           .arg(count)
                           .arg(pieces.size()));
}

bool toInt(const QString& word, const QString& piece, int& value, QString* error)
{
    bool ok = false;
    value = piece.trimmed().toInt(&ok, 10);
    if (ok)
        return true;
    return fail(error, QStringLiteral("%1: '%2' is not a valid integer value").arg(word, piece));
}

bool toHandle(const QString& word, const QString& piece, platform::WindowHandle& handle,
              QString* error)
{
    int value = 0;
    if (!toInt(word, piece, value, error))
        return false;
    // A negative number names no window; as a handle it is simply a bad one.
    handle = static_cast<platform::WindowHandle>(value);
    return true;
}

bool succeeded(const platform::Result& result, QString* error)
{
    return result.ok() || fail(error, result.error());
}

QString pick(const input::arhandle& handles, int index)
{
    if (index < 0 || index >= static_cast<int>(handles.size()))
        return QStringLiteral("-1");
    return QString::number(handles[static_cast<std::size_t>(index)]);
}

}  // namespace

SysParamBridge::SysParamBridge(input::TZenKeybd& keybd, input::TZeMouse& mouse,
                               input::TGMWindow& windows)
    : m_keybd(keybd), m_mouse(mouse), m_windows(windows)
{
}

bool SysParamBridge::findHandle(const QStringList& pieces, QString& content, QString* error)
{
    const QString word = words::kFindHandle;
    int index = 0;
    if (!needPieces(word, pieces, 1, error)
        || (pieces.size() >= 3 && !toInt(word, pieces[1], index, error))
        || !succeeded(m_windows.Status(), error))
        return false;
    content = pick(m_windows.FindHandles(QString(), pieces[0]), index);
    return true;
}

bool SysParamBridge::findChild(const QStringList& pieces, QString& content, QString* error)
{
    const QString word = words::kFindChild;
    platform::WindowHandle parent = 0;
    int index = 0;
    if (!needPieces(word, pieces, 2, error) || !toHandle(word, pieces[0], parent, error)
        || (pieces.size() >= 4 && !toInt(word, pieces[2], index, error))
        || !succeeded(m_windows.Status(), error))
        return false;
    if (!m_controls) {
        content = pick(m_windows.FindChildren(parent, QString(), pieces[1]), index);
        return true;
    }
    // A control's handle names no X window, so only the accessible tree is asked.
    input::arhandle windows = input::ControlLocator::Owns(parent)
                                  ? input::arhandle{0}
                                  : m_windows.FindChildren(parent, QString(), pieces[1]);
    content = pick(m_controls->AppendControls(std::move(windows), parent, pieces[1]), index);
    return true;
}

bool SysParamBridge::query(const QString& word, QString& content, QString* error)
{
    const QStringList pieces = base::split(content, QStringLiteral(","));
    if (word == words::kFindHandle)
        return findHandle(pieces, content, error);
    if (word == words::kFindChild)
        return findChild(pieces, content, error);
    if (word == words::kGetHText) {
        platform::WindowHandle handle = 0;
        if (!needPieces(word, pieces, 1, error) || !toHandle(word, pieces[0], handle, error)
            || !succeeded(m_windows.Status(), error))
            return false;
        const bool control = m_controls && input::ControlLocator::Owns(handle);
        content = control ? m_controls->Text(handle) : m_windows.WindowText(handle);
        return true;
    }
    if (word == words::kTest)
        content = QStringLiteral("500");
    return true;
}

bool SysParamBridge::mouseAction(const QString& button, QString* error, input::HeldInput::Holder holder)
{
    if (m_held) {
        using HeldAction = platform::Result (input::HeldInput::*)(input::HeldInput::Holder);
        static const std::pair<QLatin1StringView, HeldAction> kHeld[] = {
            {words::kLeftDown, &input::HeldInput::LeftDown},   {words::kLeftUp, &input::HeldInput::LeftUp},
            {words::kRightDown, &input::HeldInput::RightDown}, {words::kRightUp, &input::HeldInput::RightUp}};
        for (const auto& [name, action] : kHeld) {
            if (button == name)
                return succeeded((m_held->*action)(holder), error);
        }
    }
    using Action = platform::Result (input::TZeMouse::*)();
    static const std::pair<QLatin1StringView, Action> kActions[] = {
        {words::kLeftClick, &input::TZeMouse::LeftClick}, {words::kRightClick, &input::TZeMouse::RightClick},
        {words::kLeftDown, &input::TZeMouse::LeftDown},   {words::kLeftUp, &input::TZeMouse::LeftUp},
        {words::kRightDown, &input::TZeMouse::RightDown}, {words::kRightUp, &input::TZeMouse::RightUp}};
    for (const auto& [name, action] : kActions) {
        if (button == name)
            return succeeded((m_mouse.*action)(), error);
    }
    return true;  // any other word does nothing
}

bool SysParamBridge::command(const QString& word, const QString& content, QString* error,
                             input::HeldInput::Holder holder)
{
    const QStringList pieces = base::split(content, QStringLiteral(","));
    if (m_held && (word == words::kKeyDown || word == words::kKeyUp)) {
        if (!needPieces(word, pieces, 1, error))
            return false;
        return succeeded(word == words::kKeyDown ? m_held->KeyDown(holder, pieces[0])
                                                 : m_held->KeyUp(holder, pieces[0]),
                         error);
    }
    using KeyAction = platform::Result (input::TZenKeybd::*)(const QString&);
    KeyAction keyAction = word == words::kKey       ? &input::TZenKeybd::KeyPress
                          : word == words::kKeyDown ? &input::TZenKeybd::KeyDown
                          : word == words::kKeyUp   ? &input::TZenKeybd::KeyUp
                                                    : nullptr;
    if (keyAction) {
        return needPieces(word, pieces, 1, error)
               && succeeded((m_keybd.*keyAction)(pieces[0]), error);
    }
    if (word == words::kMouse)
        return needPieces(word, pieces, 1, error) && mouseAction(pieces[0], error, holder);
    if (word == words::kSetHText || word == words::kSetHClick) {
        const bool setText = word == words::kSetHText;
        platform::WindowHandle handle = 0;
        if (!needPieces(word, pieces, setText ? 2 : 1, error)
            || !toHandle(word, pieces[0], handle, error)
            || !succeeded(m_windows.Status(), error))
            return false;
        // A handle that names no window has no effect, as a message to it would.
        if (m_controls && input::ControlLocator::Owns(handle))
            setText ? m_controls->SetText(handle, pieces[1]) : m_controls->Click(handle);
        else if (setText)
            m_windows.SetWindowText(handle, pieces[1]);
        else
            m_windows.ClickWindow(handle);
    }
    return true;
}

DesktopBridge::DesktopBridge(std::shared_ptr<platform::Desktop> desktop)
    : m_desktop(desktop ? std::move(desktop) : std::make_shared<platform::UnavailableDesktop>()),
      m_keybd(m_desktop->keyboard()),
      m_mouse(m_desktop->mouse()),
      m_windows(m_desktop->windows()),
      m_held(m_keybd, m_mouse),
      m_controls(m_desktop->controls()),
      m_bridge(m_keybd, m_mouse, m_windows)
{
    m_bridge.setHeldInput(&m_held);
    m_bridge.setControls(&m_controls);
}

}  // namespace quillon::app
