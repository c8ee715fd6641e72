#include "input/ZenEventhread.h"

#include "input/ZenAppEvents.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <map>

namespace quillon::input {
namespace {

using Clock = std::chrono::steady_clock;

// While a wake waits for a running poll to end, the thread looks again this
// often; a poll ends when its handlers return, which nothing announces.
constexpr auto kBusyRecheck = std::chrono::milliseconds(2);

std::mutex g_sharedMutex;
std::unique_ptr<TZenEventhread> g_shared;  // guarded by g_sharedMutex
int g_startInterval = 50;                   // guarded by g_sharedMutex
// Each poller that said so, and whether it allows the safety poll.
std::map<const void*, bool> g_pollers;      // guarded by g_sharedMutex

// With g_sharedMutex held.
int wantedInterval()
{
    const bool slow = !g_pollers.empty()
                      && std::all_of(g_pollers.begin(), g_pollers.end(), [](const auto& p) { return p.second; });
    return slow ? std::max(g_startInterval, kSafetyPollMs) : g_startInterval;
}

void applyInterval()
{
    if (g_shared && g_shared->Interval() != wantedInterval())
        g_shared->setInterval(wantedInterval());
}

}  // namespace

TZenEventhread::TZenEventhread(QObject* target, int intervalMs)
    : m_target(target), m_interval(intervalMs), m_thread([this] { run(); })
{
}

TZenEventhread::~TZenEventhread()
{
    Terminate();
    WaitFor();
}

void TZenEventhread::Terminate()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
}

void TZenEventhread::setInterval(int intervalMs)
{
    {
        std::lock_guard lock(m_mutex);
        m_interval = intervalMs;
    }
    m_changed.notify_all();
}

void TZenEventhread::WaitFor()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void TZenEventhread::Wake()
{
    {
        std::lock_guard lock(m_mutex);
        // Posted from the waking thread when nothing is queued or running:
        // one hand-over less between a key event and its poll.
        if (m_stop || *m_queued > 0 || postIfIdle())
            return;
        m_wakeRequested = true;
    }
    m_changed.notify_all();
}

bool TZenEventhread::postIfIdle()
{
    if (zenBusyCounter() != 0 || !m_target)
        return false;
    ++*m_queued;
    ++m_posted;
    ZenMessageEvent* event = nullptr;
    {
        std::lock_guard lock(zenMessageHandoff());
        event = new ZenMessageEvent(kZenMessage, kPollMarker, 0, m_queued);
    }
    QCoreApplication::postEvent(m_target, event);
    return true;
}

void TZenEventhread::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        postIfIdle();
        const int interval = m_interval;
        if (interval <= 0)
            continue;
        const auto tick = Clock::now() + std::chrono::milliseconds(interval);
        // A new interval ends the wait for the old tick.
        while (!m_stop && Clock::now() < tick && m_interval == interval) {
            if (m_wakeRequested) {
                // A poll that has not started yet reads every key event that
                // came before it; one that runs may have read too early.
                if (*m_queued > 0 || postIfIdle()) {
                    m_wakeRequested = false;
                    continue;
                }
                m_changed.wait_until(lock, std::min(tick, Clock::now() + kBusyRecheck));
                continue;
            }
            m_changed.wait_until(lock, tick);
        }
    }
}

void startSharedPacing(QObject* target, int intervalMs)
{
    std::lock_guard lock(g_sharedMutex);
    if (g_shared)
        return;
    g_startInterval = intervalMs;
    g_shared = std::make_unique<TZenEventhread>(target, wantedInterval());
}

void stopSharedPacing()
{
    std::unique_ptr<TZenEventhread> stopping;
    {
        std::lock_guard lock(g_sharedMutex);
        stopping = std::move(g_shared);
    }
}

void wakeSharedPacing()
{
    std::lock_guard lock(g_sharedMutex);
    if (g_shared)
        g_shared->Wake();
}

bool sharedPacingRunning()
{
    std::lock_guard lock(g_sharedMutex);
    return g_shared != nullptr;
}

void allowSharedPacingSlow(const void* poller, bool allowed)
{
    std::lock_guard lock(g_sharedMutex);
    g_pollers[poller] = allowed;
    applyInterval();
}

void forgetSharedPacingPoller(const void* poller)
{
    std::lock_guard lock(g_sharedMutex);
    g_pollers.erase(poller);
    applyInterval();
}

int sharedPacingInterval()
{
    std::lock_guard lock(g_sharedMutex);
    return g_shared ? g_shared->Interval() : 0;
}

}  // namespace quillon::input
