// tscriptthrd: one script run. It owns an engine made from a copy of the
// template engine taken when the run is created, and a thread that runs one
// section per start and then waits, idle, until it is started again.
// Variables live in the run's own host, so they persist from pass to pass
// and are never seen by another run.
//
// Start, Stop, resume, CreateEngine and the setters are for the thread that
// owns the run (the GUI thread); the pass and every engine event run on the
// run's thread. Engine()->FindSection may be called from any thread.
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
#include <vector>

class QEventLoop;

namespace quillon::script {

class tscriptthrd : public TDelayThread {
public:
    // How long Stop waits for the run to become idle unless told otherwise.
    static constexpr int kStopLimitMs = 5000;

    // Creates a run that has not started ("suspended"). It copies
    // `templateEngine` (handlers, macros, script text) here, on the calling
    // thread, and makes its engine from that copy, so a later reload of the
    // template cannot reach this run. A null template gives a bare engine.
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

    // Makes a fresh engine with the template's handlers, macros and lines as
    // copied at creation, and parses it. Does nothing while a pass is
    // pending or running (the pass is using the engine).
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
    // until the run is idle, at most `limitMs`. On the thread that runs the
    // application's event loop the wait runs that loop, so events keep
    // flowing and handlers may be re-entered; it returns as soon as the run
    // is idle. True when the run is idle (at once for a run without a pass),
    // false when it is still busy at the limit (a handler that does not
    // return, a line that runs long). A run busy on the CPU stops when the
    // system next gives its thread the CPU; to stop many such runs, ask
    // each engine first (Engine()->requestStop()), then Stop each.
    bool Stop(int limitMs = kStopLimitMs);
    // A pass is pending or running.
    bool busy() const;
    // Blocks until the run is idle or `timeoutMs` has passed; true when idle.
    bool waitIdle(int timeoutMs);

private:
    void Execute();
    bool busyLocked() const;
    bool waitIdlePumping(int limitMs);

    QObject* m_owner;
    EngineTemplate m_template;
    std::unique_ptr<TScripert> m_engine;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_resumeCv;
    std::condition_variable m_idleCv;
    QString m_sectionName;              // guarded by m_mutex
    bool m_go = false;                  // guarded by m_mutex: a pass is wanted
    std::vector<QEventLoop*> m_waiters; // guarded by m_mutex: Stops waiting in an event loop
    std::atomic<bool> m_idle{false};
    std::atomic<bool> m_engineReady{false};
};

}  // namespace quillon::script
