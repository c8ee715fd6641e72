// TControlSubClass: lets a component see the events of a window it does not
// own (the device layer watches its form's activation this way). Every event
// of the window goes to the handler first; what the handler does not consume
// goes on to the window as before. Destroying the object restores the window.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QEvent;

namespace quillon::input {

class TControlSubClass : public QObject {
public:
    // Returns true to consume the event (the window then never sees it).
    using Handler = std::function<bool(QObject* control, QEvent* message)>;

    // Hooks `control` (null hooks nothing).
    TControlSubClass(QObject* control, Handler handler);
    ~TControlSubClass() override;

    QObject* Control() const { return m_control; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QObject> m_control;
    Handler m_handler;
};

}  // namespace quillon::input
