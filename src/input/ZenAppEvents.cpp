#include "input/ZenAppEvents.h"

#include <QCoreApplication>

namespace quillon::input {

ZenMessageEvent::ZenMessageEvent(int message, std::uintptr_t wParam, std::uintptr_t lParam,
                                 std::shared_ptr<std::atomic<int>> queued)
    : QEvent(eventType()), m_message(message), m_wParam(wParam), m_lParam(lParam),
      m_queued(std::move(queued))
{
}

ZenMessageEvent::~ZenMessageEvent()
{
    std::lock_guard lock(zenMessageHandoff());
    markTaken();
}

void ZenMessageEvent::markTaken()
{
    if (m_queued) {
        --*m_queued;
        m_queued.reset();
    }
}

QEvent::Type ZenMessageEvent::eventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

std::mutex& zenMessageHandoff()
{
    static std::mutex mutex;
    return mutex;
}

std::atomic<int>& zenBusyCounter()
{
    static std::atomic<int> counter{0};
    return counter;
}

TZenAppEvents::TZenAppEvents(QObject* owner) : QObject(owner)
{
    zenBusyCounter() = 0;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

TZenAppEvents::~TZenAppEvents()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool TZenAppEvents::eventFilter(QObject*, QEvent* event)
{
    { std::lock_guard lock(zenMessageHandoff()); }
    if (event->type() != ZenMessageEvent::eventType() || !OnZenMsgEvent)
        return false;
    auto* message = static_cast<ZenMessageEvent*>(event);
    if (message->message() != kZenMessage || message->wParam() != kPollMarker)
        return false;
    struct Busy {
        Busy() { ++zenBusyCounter(); }
        ~Busy() { --zenBusyCounter(); }
    } busy;
    message->markTaken();
    // A copy: the handler may assign the event anew while it runs.
    const auto handler = OnZenMsgEvent;
    handler(this);
    return false;
}

}  // namespace quillon::input
