#include "input/ControlSubClass.h"

namespace quillon::input {

TControlSubClass::TControlSubClass(QObject* control, Handler handler)
    : m_control(control), m_handler(std::move(handler))
{
    if (m_control)
        m_control->installEventFilter(this);
}

TControlSubClass::~TControlSubClass()
{
    if (m_control)
        m_control->removeEventFilter(this);
}

bool TControlSubClass::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_control && m_handler)
        return m_handler(watched, event);
    return false;
}

}  // namespace quillon::input
