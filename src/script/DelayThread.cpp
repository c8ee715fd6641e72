#include "script/DelayThread.h"

#include <chrono>

namespace quillon::script {

void TDelayThread::Delay(int ms)
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(m_delayMutex);
    m_interrupted = false;
    const Clock::time_point endTick = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(endTick - Clock::now());
        m_remaining = left.count() > 0 ? int(left.count()) : 0;
        if (m_interrupted || Clock::now() >= endTick)
            break;
        m_delayCv.wait_until(lock, endTick);
    }
    m_remaining = 0;
}

void TDelayThread::setInterrupted()
{
    {
        std::lock_guard lock(m_delayMutex);
        m_interrupted = true;
    }
    m_delayCv.notify_all();
}

}  // namespace quillon::script
