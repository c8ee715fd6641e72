// The stop request of a script engine and the wait it interrupts. The run
// loop reads the request after every line; a script's delay waits on it and
// ends at once when a stop is requested from another thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace quillon::script {

class StopSignal {
public:
    // Asks for a stop and wakes a wait in progress; any thread.
    void request();
    // Withdraws the request; any thread.
    void clear();
    bool requested() const { return m_requested.load(); }

    // Waits `ms` milliseconds without spending CPU. Returns early, false,
    // when a stop is requested before or during the wait.
    bool wait(int ms);
    // Milliseconds left in the wait in progress (0 when none runs).
    int remaining() const { return m_remaining.load(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::atomic<bool> m_requested{false};
    std::atomic<int> m_remaining{0};
};

}  // namespace quillon::script
