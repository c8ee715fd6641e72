#include "script/ScriptThrd.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QEvent>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace quillon::script {

namespace {

bool onEventLoopThread()
{
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

tscriptthrd::tscriptthrd(QObject* owner, const TScripert* templateEngine)
    : m_owner(owner)
{
    if (templateEngine)
        m_template = templateEngine->templateCopy();
    CreateEngine();
}

tscriptthrd::~tscriptthrd()
{
    Stop();
    {
        std::lock_guard lock(m_mutex);
        QuitRequested = true;
    }
    m_resumeCv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

QString tscriptthrd::SectionName() const
{
    std::lock_guard lock(m_mutex);
    return m_sectionName;
}

void tscriptthrd::setSectionName(const QString& name)
{
    std::lock_guard lock(m_mutex);
    m_sectionName = name;
}

void tscriptthrd::CreateEngine()
{
    if (busy())
        return;
    auto engine = std::make_unique<TScripert>(m_owner, m_template.hostFactory);
    engine->setOwnerThread(this);
    try {
        engine->applyTemplate(m_template);
    } catch (const ScriptFailure& failure) {
        // A block without its partner and no OnError to hear about it: the
        // run keeps what was parsed, and its passes report the rest.
        printScriptError(-1, 0, failure.number, failure.description);
    }
    std::lock_guard lock(m_mutex);
    m_engine = std::move(engine);
    m_engineReady = true;
}

bool tscriptthrd::Start(const QString& scriptPath)
{
    // Reloading under a running pass would change its lines beneath it.
    if (busy())
        return false;
    if (!m_engineReady)
        CreateEngine();
    if (ReloadOnStart) {
        try {
            m_engine->LoadScriptFile(scriptPath);
        } catch (const ScriptFileError& e) {
            if (m_engine->OnError)
                m_engine->OnError(-1, 0, e.number, e.message);
            else
                printScriptError(-1, 0, e.number, e.message);
            return false;
        } catch (const ScriptFailure& failure) {
            printScriptError(-1, 0, failure.number, failure.description);
        }
    }
    resume();
    return true;
}

bool tscriptthrd::busyLocked() const
{
    return m_go || (m_thread.joinable() && !m_idle);
}

bool tscriptthrd::busy() const
{
    std::lock_guard lock(m_mutex);
    return busyLocked();
}

void tscriptthrd::resume()
{
    {
        std::lock_guard lock(m_mutex);
        if (busyLocked())
            return;
        // Cleared here rather than when the pass starts, so a Stop that comes
        // before the thread gets going is not lost.
        m_engine->clearStop();
        m_idle = false;
        m_go = true;
        if (!m_thread.joinable()) {
            m_thread = std::thread(&tscriptthrd::Execute, this);
            return;
        }
    }
    m_resumeCv.notify_all();
}

bool tscriptthrd::Stop(int limitMs)
{
    m_engine->requestStop();
    setInterrupted();
    if (onEventLoopThread())
        return waitIdlePumping(limitMs);
    std::unique_lock lock(m_mutex);
    return m_idleCv.wait_for(lock, std::chrono::milliseconds(limitMs), [this] { return !busyLocked(); });
}

// Runs the caller's event loop until the run reports idle (it quits this
// loop when it gets there) or the limit passes.
bool tscriptthrd::waitIdlePumping(int limitMs)
{
    QEventLoop loop;
    {
        std::lock_guard lock(m_mutex);
        if (!busyLocked())
            return true;
        m_waiters.push_back(&loop);
    }
    QTimer::singleShot(limitMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    std::lock_guard lock(m_mutex);
    m_waiters.erase(std::remove(m_waiters.begin(), m_waiters.end(), &loop), m_waiters.end());
    return !busyLocked();
}

bool tscriptthrd::waitIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_idleCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return m_idle.load(); });
}

void tscriptthrd::Execute()
{
    for (;;) {
        QString section;
        {
            std::unique_lock lock(m_mutex);
            m_resumeCv.wait(lock, [this] { return m_go || QuitRequested.load(); });
            if (QuitRequested)
                break;
            m_go = false;
            section = m_sectionName;
        }
        QString result;
        m_engine->runPass(section, result);
        {
            std::lock_guard lock(m_mutex);
            m_idle = true;
            // Posted, not called: the loops belong to the waiting thread,
            // which owns and frees the events.
            for (QEventLoop* loop : m_waiters)
                QCoreApplication::postEvent(loop, new QEvent(QEvent::Quit));
        }
        m_idleCv.notify_all();
    }
    setInterrupted();
}

}  // namespace quillon::script
