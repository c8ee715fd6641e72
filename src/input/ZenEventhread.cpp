#include "input/ZenEventhread.h"

#include "input/ZenAppEvents.h"

#include <QCoreApplication>

#include <chrono>

namespace quillon::input {
namespace {

using Clock = std::chrono::steady_clock;

// While a wake waits for a running poll to end, the thread looks again this
// often; a poll ends when its handlers return, which nothing announces.
constexpr auto kBusyRecheck = std::chrono::milliseconds(2);

std::mutex g_sharedMutex;
std::unique_ptr<TZenEventhread> g_shared;

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
        if (m_interval <= 0)
            continue;
        const auto tick = Clock::now() + std::chrono::milliseconds(m_interval);
        while (!m_stop && Clock::now() < tick) {
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
    if (!g_shared)
        g_shared = std::make_unique<TZenEventhread>(target, intervalMs);
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

}  // namespace quillon::input
