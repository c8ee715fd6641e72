#include "base/OwnerThreadCall.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace quillon::base {

namespace {

// Lets the caller wait for work it handed to another thread. The waiting uses
// std::mutex and std::condition_variable, so the hand-over of the values the
// work reads and writes is visible to thread sanitizers too.
struct Handoff {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

// Travels with the posted work and wakes the caller: when the work has run,
// or, when the event was dropped undelivered because its receiver went
// away, when it is destroyed. Either way the caller never waits forever.
class FinishSignal {
public:
    explicit FinishSignal(std::shared_ptr<Handoff> handoff) : m_handoff(std::move(handoff)) {}
    FinishSignal(FinishSignal&& other) noexcept = default;
    FinishSignal(const FinishSignal&) = delete;
    FinishSignal& operator=(const FinishSignal&) = delete;
    ~FinishSignal()
    {
        if (!m_handoff)
            return;
        std::lock_guard lock(m_handoff->mutex);
        m_handoff->done = true;
        m_handoff->finished.notify_all();
    }

    // Orders everything the caller wrote before posting before the work.
    void enter() { std::lock_guard lock(m_handoff->mutex); }

    // Orders the work's writes before the caller's reads and wakes it. The
    // caller may return at once; nothing of its may be touched afterwards.
    void finish()
    {
        std::shared_ptr<Handoff> handoff = std::move(m_handoff);
        std::lock_guard lock(handoff->mutex);
        handoff->done = true;
        handoff->finished.notify_all();
    }

private:
    std::shared_ptr<Handoff> m_handoff;
};

}  // namespace

bool callOnOwnerThread(QObject* owner, const std::function<void()>& work)
{
    if (!owner)
        return false;
    QThread* thread = owner->thread();
    if (thread == QThread::currentThread()) {
        work();
        return true;
    }
    // A finished thread runs no more events: waiting for it would never end.
    if (!thread || thread->isFinished())
        return false;
    bool ran = false;
    auto handoff = std::make_shared<Handoff>();
    { std::lock_guard lock(handoff->mutex); }
    QMetaObject::invokeMethod(
        owner,
        [&work, &ran, signal = FinishSignal(handoff)]() mutable {
            signal.enter();
            ran = true;
            work();
            signal.finish();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(handoff->mutex);
    handoff->finished.wait(lock, [&] { return handoff->done; });
    return ran;
}

}  // namespace quillon::base
