// TDelayThread: the base of script runs. Its Delay waits on a condition
// variable with a deadline, spends no CPU while waiting, and ends at once
// when another thread interrupts it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace quillon::script {

class TDelayThread {
public:
    TDelayThread() = default;
    virtual ~TDelayThread() = default;
    TDelayThread(const TDelayThread&) = delete;
    TDelayThread& operator=(const TDelayThread&) = delete;

    // Waits `ms` milliseconds on the calling thread (the run's own); returns
    // early when interrupted. Clears the interruption when it starts.
    void Delay(int ms);

    // Ends a Delay in progress; any thread.
    void setInterrupted();
    bool Interrupted() const { return m_interrupted.load(); }
    // Milliseconds left in the current Delay (0 when none is running).
    int Remaining() const { return m_remaining.load(); }

private:
    std::mutex m_delayMutex;
    std::condition_variable m_delayCv;
    std::atomic<bool> m_interrupted{false};
    std::atomic<int> m_remaining{0};
};

}  // namespace quillon::script
