// tscriptthrd: one script run. It owns an engine copied from the template
// engine when the run is created, and a thread that runs one section per
// start and then waits, idle, until it is started again. Variables live in
// the run's own host, so they persist from pass to pass and are never seen
// by another run.
//
// Start, Stop, resume and the setters are for the thread that owns the run
// (the GUI thread); the pass and every engine event run on the run's thread.
#pragma once

#include "script/DelayThread.h"
#include "script/Scripert.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace quillon::script {

class tscriptthrd : public TDelayThread {
public:
    // Creates a run that has not started ("suspended"). The engine copies
    // `templateEngine` (handlers, macros, script text) here, on the calling
    // thread, so a later reload of the template cannot reach this run.
    tscriptthrd(QObject* owner, const TScripert* templateEngine);
    // Stops a pass in progress, waits for it, ends the thread and frees the engine.
    ~tscriptthrd() override;

    QString SectionName() const;
    void setSectionName(const QString& name);
    TScripert* Engine() const { return m_engine.get(); }
    QObject* Owner() const { return m_owner; }
    bool Idle() const { return m_idle.load(); }
    bool EngineReady() const { return m_engineReady.load(); }

    std::atomic<bool> QuitRequested{false};
    std::atomic<bool> ReloadOnStart{true};

    // Makes a fresh engine (from the template given at creation).
    void CreateEngine();
    // Reloads the script from `scriptPath` when ReloadOnStart is set, then
    // resumes the run. False and nothing started while a pass is pending or
    // running, or when the file cannot be read (reported through the engine's
    // OnError with line -1, or on standard error).
    bool Start(const QString& scriptPath);
    // Runs the next pass (the section named by SectionName, the whole script
    // when it is empty). Ignored while a pass is pending or running.
    void resume();
    // Ends the pass after its current line (a delay ends at once) and waits
    // until the run is idle, keeping the calling thread's events flowing.
    bool Stop();
    // A pass is pending or running.
    bool busy() const;
    // Blocks until the run is idle or `timeoutMs` has passed; true when idle.
    bool waitIdle(int timeoutMs);

protected:
    bool delayCancelled() const override;

private:
    void Execute();

    QObject* m_owner;
    HostFactory m_hostFactory;
    std::unique_ptr<TScripert> m_engine;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_resumeCv;
    std::condition_variable m_idleCv;
    QString m_sectionName;          // guarded by m_mutex
    bool m_go = false;              // guarded by m_mutex: a pass is wanted
    std::atomic<bool> m_idle{false};
    std::atomic<bool> m_engineReady{false};
};

}  // namespace quillon::script
