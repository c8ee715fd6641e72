// The window's script runs: making them from the template engine with
// handlers of their own (errors to the run log, boxes through ScriptBoxes),
// starting and stopping them, their live state in the table, freeing them.
#include "app/fmmain.h"
#include "app/fmmainRunEntry.h"

#include "app/RunLog.h"
#include "app/RunTrace.h"
#include "app/ScriptBoxes.h"
#include "app/ZenStringGrid.h"
#include "script/ScriptError.h"
#include "script/ScriptThrd.h"

#include <QTimer>

namespace quillon::app {

Tfrmmain::HandlerScope::HandlerScope(Tfrmmain& window)
    : m_window(window)
{
    ++m_window.m_handlerDepth;
}

Tfrmmain::HandlerScope::~HandlerScope()
{
    if (--m_window.m_handlerDepth == 0 && m_window.m_exitPending && !m_window.m_exiting)
        QTimer::singleShot(0, &m_window, &Tfrmmain::N26Click);
}

script::tscriptthrd* Tfrmmain::runningScript(const QString& runKey) const
{
    for (const auto& entry : m_runs) {
        if (entry->key.compare(runKey, Qt::CaseInsensitive) == 0)
            return entry->run.get();
    }
    return nullptr;
}

QStringList Tfrmmain::runningScriptKeys() const
{
    QStringList keys;
    for (const auto& entry : m_runs)
        keys << entry->key;
    return keys;
}

void Tfrmmain::stopRun(const QString& runKey)
{
    if (script::tscriptthrd* run = runningScript(runKey); run && run->busy())
        stopAndRelease(run);
}

void Tfrmmain::stopAndRelease(script::tscriptthrd* run)
{
    // A stopped run never reaches its own kup: what it holds is let go.
    run->Stop();
    m_bridge->held().ReleaseAll(run->Engine());
}

script::tscriptthrd* Tfrmmain::createRun(const QString& runKey, const QString& baseKey, int row)
{
    const QString path = m_grid->cellText(1, row);
    // The run copies the template when it is made, so the template holds
    // this row's script first. A script that cannot be read makes no run:
    // the template still holds the last script loaded.
    m_loadingKey = runKey;
    m_loadingPath = path;
    try {
        m_template->LoadScriptFile(path);
    } catch (const script::ScriptFileError& e) {
        logLoadFailure(runKey, path, e.number, e.message);
        return nullptr;
    } catch (const script::ScriptFailure& failure) {
        logLoadFailure(runKey, path, failure.number, failure.description);
        return nullptr;
    }
    auto entry = std::make_unique<RunEntry>();
    entry->key = runKey;
    entry->baseKey = baseKey;
    entry->context->script = path;
    entry->run = std::make_unique<script::tscriptthrd>(this, m_template.get());
    script::TScripert* engine = entry->run->Engine();
    // The run's own handlers: the thread has not started, so setting them
    // here races with nothing.
    engine->OnError = [log = m_runLog, context = entry->context, runKey](int line, int column, int number,
                                                                           const QString& description) {
        QString script;
        {
            std::lock_guard lock(context->mutex);
            script = context->script;
        }
        log->add({{}, runKey, script, line, column, number, description});
    };
    engine->OnMessageBox = [boxes = m_boxes, engine](const QString& prompt, int buttons, const QString& title) {
        return boxes->show(prompt, buttons, title, engine);
    };
    if (m_trace) {
        engine->OnLineNumber = [trace = m_trace, context = entry->context, runKey](script::TScripert*, int line) {
            if (!context->traceNext.exchange(false))
                return;
            QString section;
            {
                std::lock_guard lock(context->mutex);
                section = context->section;
            }
            trace->write(QStringLiteral("line %1 %2 %3").arg(runKey, section).arg(line));
        };
    }
    script::tscriptthrd* run = entry->run.get();
    m_runs.push_back(std::move(entry));
    return run;
}

void Tfrmmain::setRunScript(script::tscriptthrd* run, const QString& path)
{
    for (const auto& entry : m_runs) {
        if (entry->run.get() == run) {
            std::lock_guard lock(entry->context->mutex);
            entry->context->script = path;
            return;
        }
    }
}

void Tfrmmain::passStarting(script::tscriptthrd* run)
{
    if (!m_beat->isActive() && !m_exiting)
        m_beat->start();
    if (!m_trace)
        return;
    for (const auto& entry : m_runs) {
        if (entry->run.get() == run) {
            {
                std::lock_guard lock(entry->context->mutex);
                entry->context->section = run->SectionName();
            }
            entry->context->traceNext = true;
            return;
        }
    }
}

bool Tfrmmain::startRun(script::tscriptthrd* run, int row)
{
    const QString path = m_grid->cellText(1, row);
    if (run->ReloadOnStart)
        setRunScript(run, path);
    passStarting(run);
    // A file that cannot be read reaches the run's OnError (line -1), and
    // so the log.
    return run->Start(path);
}

void Tfrmmain::logLoadFailure(const QString& runKey, const QString& path, int number, const QString& message)
{
    m_runLog->add({{}, runKey, path, -1, 0, number, message});
}

void Tfrmmain::updateRunState()
{
    std::vector<std::pair<QString, int>> busy;  // trigger key -> busy runs
    for (const auto& entry : m_runs) {
        if (!entry->run->busy())
            continue;
        auto it = std::find_if(busy.begin(), busy.end(), [&](const auto& b) {
            return b.first.compare(entry->baseKey, Qt::CaseInsensitive) == 0;
        });
        if (it == busy.end())
            busy.emplace_back(entry->baseKey, 1);
        else
            ++it->second;
    }
    for (int row = 1; row < m_grid->rowCount(); ++row) {
        const QString key = m_grid->cellText(0, row);
        int count = 0;
        if (!key.isEmpty()) {
            for (const auto& [name, n] : busy) {
                if (name.compare(key, Qt::CaseInsensitive) == 0)
                    count = n;
            }
        }
        m_grid->setRunCount(row, count);
    }
    // Every count is 0 again: nothing to follow until the next start.
    if (busy.empty())
        m_beat->stop();
}

void Tfrmmain::freeRuns()
{
    // One at a time, in the order made: each is asked to quit, stopped and
    // freed (its destructor ends the thread).
    while (!m_runs.empty()) {
        std::unique_ptr<RunEntry> entry = std::move(m_runs.front());
        m_runs.erase(m_runs.begin());
        entry->run->QuitRequested = true;
        entry->run->Stop();
        entry.reset();
    }
    if (m_bridge)
        m_bridge->held().ReleaseEverything();
}

}  // namespace quillon::app
