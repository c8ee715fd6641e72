// TZenEventhread: the pacing thread. Every 50 ms it posts the poll message
// (ZenAppEvents.h) to its target window, unless a poll is running then (the
// busy counter is not 0), so a poll that takes longer than the interval
// gets no second post. Wake() posts at once instead of at the next tick, for
// a key event that has just happened; it posts only when no poll is queued
// or running, and a wake that comes while one runs is kept until it ends.
//
// The process has one pacing thread at most, started, stopped and woken
// through the functions below (the trigger input component's Enable).
// Where every key event on the desktop wakes a poll at once, the ticks only
// catch what no event announces, and the components that poll may let the
// thread slow down to a safety poll: the idle program then wakes about once
// a second instead of twenty times.
#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace quillon::input {

class TZenEventhread {
public:
    // Starts running at once, posting to `target` (which must outlive it).
    explicit TZenEventhread(QObject* target, int intervalMs = 50);
    // Stops the thread and waits for it to end.
    ~TZenEventhread();
    TZenEventhread(const TZenEventhread&) = delete;
    TZenEventhread& operator=(const TZenEventhread&) = delete;

    // Sets the stop flag and wakes the thread; WaitFor() then joins it.
    void Terminate();
    void WaitFor();
    // Asks for a poll now (any thread): posts it at once when no poll is
    // queued or running, leaves it to the thread while one runs.
    void Wake();

    // Polls posted so far, for tests and benchmarks.
    long long Posted() const { return m_posted; }
    int Interval() const { return m_interval; }
    // Takes effect at once: a wait for a longer tick ends with a post.
    void setInterval(int intervalMs);

private:
    void run();
    bool postIfIdle();

    QObject* const m_target;
    std::atomic<int> m_interval;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_wakeRequested{false};
    std::atomic<long long> m_posted{0};
    std::shared_ptr<std::atomic<int>> m_queued = std::make_shared<std::atomic<int>>(0);
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread;
};

// The process-wide pacing thread. Start does nothing when it runs already;
// Stop stops and frees it; Wake wakes it when it runs.
void startSharedPacing(QObject* target, int intervalMs = 50);
void stopSharedPacing();
void wakeSharedPacing();
bool sharedPacingRunning();

// The slowest the shared thread goes when all that poll allow it.
inline constexpr int kSafetyPollMs = 1000;
// Whether `poller` (a component, by address) can do with the safety poll.
// The thread keeps the interval it was started with while any poller that
// said so needs it, and slows to kSafetyPollMs (or its own interval, when
// that is longer) once every one of them allows it. Forget drops a poller.
void allowSharedPacingSlow(const void* poller, bool allowed);
void forgetSharedPacingPoller(const void* poller);
// The interval the shared thread uses now; 0 when it does not run.
int sharedPacingInterval();

}  // namespace quillon::input
