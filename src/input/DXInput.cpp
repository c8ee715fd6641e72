#include "input/DXInput.h"

#include <QEvent>
#include <QVariant>

#include <stdexcept>

namespace quillon::input {
namespace {

// The form is the top-level widget of the owner chain. Outside a widget
// tree (tests, a plain object as owner) the chain's last object serves.
QObject* findForm(QObject* owner)
{
    if (!owner)
        throw std::logic_error("Form not found");
    QObject* last = owner;
    for (QObject* o = owner; o; o = o->parent()) {
        if (o->isWidgetType() && (!o->parent() || !o->parent()->isWidgetType()))
            return o;
        last = o;
    }
    return last;
}

}  // namespace

TCustomDXInput::TCustomDXInput(QObject* owner, platform::Desktop& desktop)
    : QObject(owner), m_desktop(desktop), m_form(findForm(owner))
{
    m_joystick = std::make_unique<TJoystick>(*this);
    m_keyboard = std::make_unique<TKeyboard>(*this);
    m_mouse = std::make_unique<TMouse>(*this);
    m_subClass = std::make_unique<TControlSubClass>(
        m_form, [this](QObject*, QEvent* event) { return formEvent(event); });
}

TCustomDXInput::~TCustomDXInput()
{
    m_subClass.reset();
    m_mouse->Finalize();
    m_keyboard->Finalize();
    m_joystick->Finalize();
}

void TCustomDXInput::setUseDirectInput(bool value)
{
    if (value == m_useDirectInput)
        return;
    m_useDirectInput = value;
    if (!m_loading)
        Initialize();
}

bool TCustomDXInput::FormIsForeground() const
{
    // A widget knows whether it is the active window; other forms are
    // followed through their activation events.
    const QVariant active = m_form->property("isActiveWindow");
    return active.isValid() ? active.toBool() : m_formActive;
}

bool TCustomDXInput::formEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        m_formActive = true;
    else if (event->type() == QEvent::WindowDeactivate)
        m_formActive = false;
    return false;
}

void TCustomDXInput::Loaded()
{
    if (!m_loading)
        return;
    m_loading = false;
    Initialize();
}

void TCustomDXInput::initializeDevices()
{
    m_joystick->Initialize();
    m_keyboard->Initialize();
    m_mouse->Initialize();
}

void TCustomDXInput::Initialize()
{
    m_mouse->Finalize();
    m_keyboard->Finalize();
    m_joystick->Finalize();
    m_loading = false;
    initializeDevices();
    Update();
}

void TCustomDXInput::Update()
{
    if (m_loading) {
        Loaded();
        return;
    }
    TDXInputStates merged;
    for (TCustomInput* device : {static_cast<TCustomInput*>(m_joystick.get()),
                                 static_cast<TCustomInput*>(m_keyboard.get()),
                                 static_cast<TCustomInput*>(m_mouse.get())}) {
        device->Update();
        if (device->BindInputStates())
            merged |= device->States();
    }
    m_states |= merged & ~m_previous;
    m_states &= ~(m_previous & ~merged);
    m_previous = merged;
}

}  // namespace quillon::input
