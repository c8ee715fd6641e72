#include "script/ScriptThrd.h"

#include "base/ZeMath.h"

#include <chrono>

namespace quillon::script {

tscriptthrd::tscriptthrd(QObject* owner, const TScripert* templateEngine)
    : m_owner(owner)
{
    m_engine = std::make_unique<TScripert>(owner, templateEngine ? templateEngine->hostFactory()
                                                                 : HostFactory{});
    m_engine->setOwnerThread(this);
    m_hostFactory = m_engine->hostFactory();
    try {
        if (templateEngine)
            m_engine->copyTemplate(*templateEngine);
    } catch (const ScriptFailure& failure) {
        // A block without its partner and no OnError to hear about it: the
        // run keeps what was parsed, and its passes report the rest.
        TScripert::printError(-1, 0, failure.number, failure.description);
    }
    m_engineReady = true;
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
    auto engine = std::make_unique<TScripert>(m_owner, m_hostFactory);
    engine->setOwnerThread(this);
    engine->ParseScript();
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
                TScripert::printError(-1, 0, e.number, e.message);
            return false;
        } catch (const ScriptFailure& failure) {
            TScripert::printError(-1, 0, failure.number, failure.description);
        }
    }
    resume();
    return true;
}

bool tscriptthrd::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_go || (m_thread.joinable() && !m_idle);
}

void tscriptthrd::resume()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_go || (m_thread.joinable() && !m_idle))
            return;
        // Cleared here rather than when the pass starts, so a Stop that comes
        // before the thread gets going is not lost.
        m_engine->m_stopRequested = false;
        m_idle = false;
        m_go = true;
        if (!m_thread.joinable()) {
            m_thread = std::thread(&tscriptthrd::Execute, this);
            return;
        }
    }
    m_resumeCv.notify_all();
}

bool tscriptthrd::Stop()
{
    m_engine->requestStop();
    setInterrupted();
    {
        std::unique_lock lock(m_mutex);
        if (!m_thread.joinable() && !m_go)
            return true;
        // The usual stop completes within a line: wait for it without the
        // 50 ms granularity, then keep the caller's events flowing.
        m_idleCv.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_idle.load(); });
    }
    while (!m_idle)
        base::pumpingDelay(50);
    return true;
}

bool tscriptthrd::waitIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_idleCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return m_idle.load(); });
}

bool tscriptthrd::delayCancelled() const
{
    return m_engine->StopRequested();
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
        }
        m_idleCv.notify_all();
    }
    setInterrupted();
}

}  // namespace quillon::script
