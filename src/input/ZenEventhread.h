// TZenEventhread: the pacing thread. Every 50 ms it posts the poll message
// (ZenAppEvents.h) to its target window, unless a poll is running then (the
// busy counter is not 0), so a poll that takes longer than the interval
// gets no second post. Wake() posts at once instead of at the next tick, for
// a key event that has just happened; it posts only when no poll is queued
// or running, and a wake that comes while one runs is kept until it ends.
//
// The process has one pacing thread at most, started, stopped and woken
// through the functions below (the trigger input component's Enable).
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

private:
    void run();
    bool postIfIdle();

    QObject* const m_target;
    const int m_interval;
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

}  // namespace quillon::input
