// TDXInput: reads the input devices on demand (the owner calls Update) and
// turns them into a key-state array and a set of 36 abstract states. It owns
// three devices, created in this order and updated in it: the joystick, the
// keyboard and the mouse (DXInputDevices.h, DXJoystick.h).
//
// The component belongs to a form, found at creation by walking the owner
// chain, and watches the form's activation through a TControlSubClass: with
// ActiveOnly on, devices deliver input only while the form is in front.
// UseDirectInput picks the background reading of the whole desktop (the
// keyboard sees every key wherever the focus is); without it the keyboard
// only reports keys while the form is in front, as keys reaching the
// program's own windows would, and the mouse cannot be used.
//
// The devices are initialised when the component is loaded: by Loaded(), or
// by the first Update() when nobody called it. Property changes before that
// are only stored. Everything here runs on the GUI thread.
#pragma once

#include "input/ControlSubClass.h"
#include "input/DXInputDevices.h"
#include "input/DXJoystick.h"

#include <QObject>

#include <memory>

namespace quillon::input {

class TCustomDXInput : public QObject {
    Q_OBJECT
public:
    // Throws std::logic_error("Form not found") when `owner` is null.
    TCustomDXInput(QObject* owner, platform::Desktop& desktop);
    ~TCustomDXInput() override;

    bool ActiveOnly() const { return m_activeOnly; }
    void setActiveOnly(bool value) { m_activeOnly = value; }
    bool UseDirectInput() const { return m_useDirectInput; }
    // A new value initialises every device again (once loaded).
    void setUseDirectInput(bool value);

    TJoystick& Joystick() { return *m_joystick; }
    TKeyboard& Keyboard() { return *m_keyboard; }
    TMouse& Mouse() { return *m_mouse; }

    // The merged states. Another source may change them; Update only adds
    // states that appeared and removes states that went away.
    const TDXInputStates& States() const { return m_states; }
    void setStates(const TDXInputStates& states) { m_states = states; }

    // Ends loading and initialises every device.
    void Loaded();
    // Finalises and initialises every device, then updates once.
    void Initialize();
    // Updates every device in order, then merges their states.
    void Update();

    QObject* Form() const { return m_form; }
    // Whether the form is the window in front.
    bool FormIsForeground() const;
    platform::Desktop& Desktop() const { return m_desktop; }
    bool Loading() const { return m_loading; }

    // What the keyboard's key watch calls after each key event on the
    // desktop (on a desktop thread); nothing by default.
    virtual platform::KeyEvents::Wake KeyEventWake() { return {}; }

private:
    bool formEvent(QEvent* event);
    void initializeDevices();

    platform::Desktop& m_desktop;
    QObject* m_form;
    bool m_activeOnly = true;
    bool m_useDirectInput = true;
    bool m_loading = true;
    bool m_formActive = false;
    // Devices are created after the fields they read.
    std::unique_ptr<TJoystick> m_joystick;
    std::unique_ptr<TKeyboard> m_keyboard;
    std::unique_ptr<TMouse> m_mouse;
    TDXInputStates m_previous;
    TDXInputStates m_states;
    std::unique_ptr<TControlSubClass> m_subClass;
};

class TDXInput : public TCustomDXInput {
    Q_OBJECT
public:
    using TCustomDXInput::TCustomDXInput;
};

}  // namespace quillon::input
