#include "script/StopSignal.h"

#include <chrono>

namespace quillon::script {

void StopSignal::request()
{
    {
        std::lock_guard lock(m_mutex);
        m_requested = true;
    }
    m_cv.notify_all();
}

void StopSignal::clear()
{
    std::lock_guard lock(m_mutex);
    m_requested = false;
}

bool StopSignal::wait(int ms)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms > 0 ? ms : 0);
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        m_remaining = left.count() > 0 ? int(left.count()) : 0;
        if (m_requested) {
            m_remaining = 0;
            return false;
        }
        if (Clock::now() >= end)
            break;
        m_cv.wait_until(lock, end);
    }
    m_remaining = 0;
    return true;
}

}  // namespace quillon::script
