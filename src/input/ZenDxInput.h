// TZenDxInput: the trigger input component. It polls the devices of its
// base TDXInput on the GUI thread, paced by the process's pacing thread, and
// turns key-state changes into press and release events over its own copy of
// the key-name table: every entry of a code raises its own events, in table
// order, and an entry's pressed flag changes before its handler runs.
//
// A key that went down and up between two polls still raises OnKeyDonw,
// then OnKeyUp on the next poll; a key down at two polls that was released
// and pressed again in between raises OnKeyUp, then OnKeyDonw. With EventWake on (the default) a key
// event anywhere on the desktop wakes a poll at once, so a press is seen
// within a millisecond or two instead of up to 50 ms later; where the
// desktop cannot report key events the 50 ms pacing alone drives the polls.
// While the wake is live and nothing else read in a poll changes without
// a key event (no mouse or joystick device, no mouse-move or OnDxInput
// handler, input not limited to the form in front), the component lets the
// pacing thread slow to its safety poll (ZenEventhread.h).
//
// The enabled-key list (key name to "true"/"false") is kept here for the
// window, which writes it and consults it; the component never reads it.
#pragma once

#include "base/NameValueList.h"
#include "input/DXInput.h"
#include "input/ZenAppEvents.h"
#include "input/ZenKeybd.h"

#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <memory>

namespace quillon::input {

// Set to "0", the environment variable turns EventWake off by default.
inline constexpr const char* kEventWakeVariable = "QUILLON_EVENT_WAKE";

class TZenDxInput : public TDXInput {
    Q_OBJECT
public:
    // `owner` is the window the poll messages go to (its form must exist);
    // ActiveOnly off, UseDirectInput on, the keyboard enabled and unbound,
    // joystick ranges 10.
    TZenDxInput(QObject* owner, platform::Desktop& desktop);
    // Stops the pacing thread if it runs (whichever component started it).
    ~TZenDxInput() override;

    // Whether the process's pacing thread runs (one for all components).
    bool Enable() const { return m_enable; }
    void setEnable(bool value);
    // When on, input is read only while the owner's form is in front.
    bool MainFormOnly() const { return m_mainFormOnly; }
    void setMainFormOnly(bool value);
    // Whether key events on the desktop wake a poll at once.
    bool EventWake() const { return *m_eventWake; }
    void setEventWake(bool value);
    // Whether this component lets the pacing thread slow down now (decided
    // after each poll and when EventWake changes).
    bool AllowsSlowPacing() const { return m_allowsSlow > 0; }

    base::NameValueList& EnabledKeys() { return m_enabledKeys; }
    // The component's own key-name table with its pressed flags.
    const TArKeyMap& KeyTable() const { return m_keybd.Keys(); }

    // One poll, as each poll message runs it.
    void Poll();

    // Key events: the entry's code and name (the shift state is always
    // empty and not passed).
    std::function<void(int Key, const QString& KeyName)> OnKeyDonw;
    std::function<void(int Key, const QString& KeyName)> OnKeyUp;
    // Mouse button 0 left, 1 right, 2 middle, at the cursor's screen position.
    std::function<void(int Button, int X, int Y)> OnMouseDown;
    std::function<void(int Button, int X, int Y)> OnMouseUp;
    // Every poll, moved or not.
    std::function<void(int X, int Y)> OnMouseMove;
    // Before the key events of a poll; setting rtExit ends the poll there.
    std::function<void(bool& rtExit)> OnDxInput;

    platform::KeyEvents::Wake KeyEventWake() override;

private:
    void raiseKeyEvents();
    void raiseMouseEvents();
    void updatePacing();

    TZenKeybd m_keybd;
    TZenAppEvents* m_appEvents;
    QObject* m_target;
    bool m_enable = false;
    bool m_mainFormOnly = false;
    std::shared_ptr<std::atomic<bool>> m_eventWake = std::make_shared<std::atomic<bool>>(true);
    std::array<bool, 3> m_mouseDown{};
    int m_allowsSlow = -1;  // -1: not told to the pacing thread yet
    base::NameValueList m_enabledKeys;
};

}  // namespace quillon::input
