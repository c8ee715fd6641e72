// TZenAppEvents: an application-wide hook that turns the pacing thread's
// poll message into the event OnZenMsgEvent, and the process-wide busy
// counter that keeps the pacing thread from posting while a poll runs.
//
// The private message travels as a ZenMessageEvent posted to a window: its
// number is 1415 and its first parameter 0xFFFFFF marks a poll. The tray
// icon uses the same number with its icon id as first parameter; only the
// marker makes a poll.
#pragma once

#include <QEvent>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace quillon::input {

inline constexpr int kZenMessage = 1415;
inline constexpr std::uintptr_t kPollMarker = 0xFFFFFF;

// A private window message: number and two parameters, as posted.
class ZenMessageEvent : public QEvent {
public:
    ZenMessageEvent(int message, std::uintptr_t wParam, std::uintptr_t lParam,
                    std::shared_ptr<std::atomic<int>> queued = nullptr);
    ~ZenMessageEvent() override;
    // The event type all private messages share.
    static QEvent::Type eventType();

    int message() const { return m_message; }
    std::uintptr_t wParam() const { return m_wParam; }
    std::uintptr_t lParam() const { return m_lParam; }
    // The poll has started: it no longer counts as queued.
    void markTaken();

private:
    int m_message;
    std::uintptr_t m_wParam;
    std::uintptr_t m_lParam;
    // Counted down once, when the poll starts or the event is gone: its
    // poster counts what is queued.
    std::shared_ptr<std::atomic<int>> m_queued;
};

// Taken by whoever creates a ZenMessageEvent on another thread, and by the
// hook before it looks at any event: Qt's queue hands events over under a
// lock of its own that thread sanitizers cannot see, and this one makes
// the hand-over of the event's fields visible to them.
std::mutex& zenMessageHandoff();

// The busy counter: raised by one while each poll event runs.
std::atomic<int>& zenBusyCounter();

class TZenAppEvents : public QObject {
    Q_OBJECT
public:
    // Hooks the application (there must be one); sets the busy counter to 0.
    explicit TZenAppEvents(QObject* owner = nullptr);
    ~TZenAppEvents() override;

    // Raised on the GUI thread for each poll message; unassigned, polls are
    // ignored. The message goes on to its window either way.
    std::function<void(TZenAppEvents* Sender)> OnZenMsgEvent;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace quillon::input
