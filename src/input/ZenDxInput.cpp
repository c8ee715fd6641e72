#include "input/ZenDxInput.h"

#include "input/ZenEventhread.h"

namespace quillon::input {

TZenDxInput::TZenDxInput(QObject* owner, platform::Desktop& desktop)
    : TDXInput(owner, desktop), m_appEvents(new TZenAppEvents(this)), m_target(owner)
{
    setUseDirectInput(true);
    setActiveOnly(false);
    Keyboard().setBindInputStates(false);
    Keyboard().setEnabled(true);
    Keyboard().setForceFeedback(false);
    Joystick().setRangeX(10);
    Joystick().setRangeY(10);
    Joystick().setRangeZ(10);
    m_appEvents->OnZenMsgEvent = [this](TZenAppEvents*) { Poll(); };
    // For comparing with polling alone, without rebuilding.
    if (qEnvironmentVariable(kEventWakeVariable) == QLatin1String("0"))
        *m_eventWake = false;
}

TZenDxInput::~TZenDxInput()
{
    forgetSharedPacingPoller(this);
    stopSharedPacing();
}

void TZenDxInput::setEventWake(bool value)
{
    *m_eventWake = value;
    updatePacing();
}

void TZenDxInput::updatePacing()
{
    // Every key event wakes a poll at once, so the ticks only matter for
    // what changes without one: buttons, movement, the window in front, and
    // the edges a suppressed poll left for the next one.
    const bool slow = EventWake() && Keyboard().Watching() && !ActiveOnly() && !m_mainFormOnly
                      && !Mouse().Initialized() && !Joystick().Initialized() && !OnMouseMove && !OnDxInput;
    if (int(slow) == m_allowsSlow)
        return;
    m_allowsSlow = int(slow);
    allowSharedPacingSlow(this, slow);
}

void TZenDxInput::setEnable(bool value)
{
    m_enable = value;
    if (value)
        startSharedPacing(m_target);
    else
        stopSharedPacing();
}

void TZenDxInput::setMainFormOnly(bool value)
{
    m_mainFormOnly = value;
    if (!value && m_enable)
        setActiveOnly(false);
}

platform::KeyEvents::Wake TZenDxInput::KeyEventWake()
{
    return [enabled = m_eventWake] {
        if (*enabled)
            wakeSharedPacing();
    };
}

void TZenDxInput::Poll()
{
    if (m_mainFormOnly)
        setActiveOnly(!FormIsForeground());
    Update();
    updatePacing();
    if (const auto handler = OnDxInput) {
        bool rtExit = false;
        handler(rtExit);
        if (rtExit)
            return;
    }
    raiseKeyEvents();
    raiseMouseEvents();
    // A key seen only as a tap is up by now: the next poll reports the
    // release without waiting for the next tick.
    if (Keyboard().HadTapsOnly() && EventWake())
        wakeSharedPacing();
}

void TZenDxInput::raiseKeyEvents()
{
    TArKeyMap& keys = m_keybd.Keys();
    // By index: a handler may run a nested poll over the same table.
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const int code = keys[i].code & 0xFFFF;
        const bool down = Keyboard().Keys(code);
        if (down && keys[i].pressed && Keyboard().Bounced(code)) {
            // Released and pressed again since the last poll: the release,
            // then the new press, each with its flag set first.
            keys[i].pressed = false;
            const QString name = keys[i].name;
            if (const auto up = OnKeyUp)
                up(code, name);
            // A nested poll in the handler may have reported the press already.
            if (keys[i].pressed)
                continue;
            keys[i].pressed = true;
            if (const auto press = OnKeyDonw)
                press(code, name);
            continue;
        }
        if (down == keys[i].pressed)
            continue;
        keys[i].pressed = down;
        const QString name = keys[i].name;
        // A copy: the handler may assign the events anew.
        const auto handler = down ? OnKeyDonw : OnKeyUp;
        if (handler)
            handler(code, name);
    }
}

void TZenDxInput::raiseMouseEvents()
{
    const bool wantPosition = OnMouseDown || OnMouseUp || OnMouseMove;
    std::optional<platform::Point> cursor;
    if (wantPosition)
        cursor = Desktop().mouse().cursorPos();
    const platform::Point at = cursor.value_or(platform::Point{});
    for (int button = 0; button < 3; ++button) {
        const bool down = Mouse().Buttons(button);
        if (down == m_mouseDown[std::size_t(button)])
            continue;
        m_mouseDown[std::size_t(button)] = down;
        const auto handler = down ? OnMouseDown : OnMouseUp;
        if (handler)
            handler(button, at.x, at.y);
    }
    if (const auto handler = OnMouseMove)
        handler(at.x, at.y);
}

}  // namespace quillon::input
