// Trigger dispatch: what a press or a release of a key does to the runs of
// its row. Both handlers run on the GUI thread. Stopping a run and the 50 ms
// wait after a start keep the window's events flowing, so a handler may be
// re-entered (for the same key, too) before it returns; after every wait it
// looks the run up again by its key and never keeps anything else across
// the wait.
#include "app/fmmain.h"
#include "app/fmmainRunEntry.h"

#include "app/GlobalStopKey.h"
#include "app/RunTrace.h"
#include "app/ZenStringGrid.h"
#include "base/ZeMath.h"
#include "script/ScriptThrd.h"

#include <algorithm>

namespace quillon::app {

namespace {

constexpr int kStartWaitMs = 50;
const QString kStopName = QStringLiteral("vk_stop");

}  // namespace

int Tfrmmain::triggerRow(const QString& name) const
{
    for (int row = 1; row < kTriggerRows; ++row) {
        if (m_grid->cellText(0, row) == name)
            return row;
    }
    return -1;
}

void Tfrmmain::ZenDxInput1KeyDonw(int Key, const QString& KeyName)
{
    if (m_exiting || (m_exitPending && KeyName != kStopName))
        return;
    const HandlerScope scope(*this);
    const QString name = m_keybd.CodeToName(Key);
    if (Key == GlobalStopKey.load() && Key != 0) {
        // The input component reports a key once under each of its names
        // (A and a); the stop key acts on the first of them only, so one
        // physical press toggles the rows once.
        if (KeyName == name || KeyName == kStopName) {
            if (m_trace)
                m_trace->write(QStringLiteral("press ") + KeyName);
            globalStopKey();
        }
        return;
    }
    if (KeyName != name)
        return;
    if (m_enabledKeys->value(name) != QLatin1String("true"))
        return;
    const int row = triggerRow(name);
    if (row < 0)
        return;
    if (m_trace)
        m_trace->write(QStringLiteral("press ") + name);
    pressBoundKey(name, row);
}

void Tfrmmain::globalStopKey()
{
    toggleCompleteRows(true);
    stopBusyRunsLastToFirst();
}

void Tfrmmain::stopBusyRunsLastToFirst()
{
    // Every busy run is asked first, so all of them wind down together and
    // the stops below each wait only for what is left of their own run.
    for (auto it = m_runs.rbegin(); it != m_runs.rend(); ++it) {
        script::tscriptthrd* run = (*it)->run.get();
        if (run->busy())
            run->Engine()->requestStop();
    }
    // By index: runs made by handlers re-entered during a stop are appended
    // and never move the ones before them.
    for (std::size_t i = m_runs.size(); i-- > 0;) {
        script::tscriptthrd* run = m_runs[i]->run.get();
        if (run->busy())
            run->Stop();
        run->ReloadOnStart = true;
    }
    // Nothing a stopped run pressed stays down in other programs.
    m_bridge->held().ReleaseEverything();
    if (m_trace) {
        const auto stillBusy = std::count_if(m_runs.begin(), m_runs.end(),
                                             [](const auto& entry) { return entry->run->busy(); });
        m_trace->write(QStringLiteral("stopped %1").arg(stillBusy));
    }
}

void Tfrmmain::pressBoundKey(const QString& name, int row)
{
    script::tscriptthrd* run = runningScript(name);
    if (!run) {
        run = createRun(name, name, row);
        if (!run)
            return;
        m_repeatCounts.setValue(name, QStringLiteral("0"));
        run->setSectionName(QStringLiteral("down"));
        passStarting(run);
        run->resume();
        run->ReloadOnStart = false;
        return;
    }
    if (!run->busy()) {
        startWithWait(run, QStringLiteral("down"), row);
        return;
    }
    if (m_grid->cellText(3, row) == QString::fromUtf8(kRepeatRunMode))
        pressBusyRepeat(name, row);
    else
        pressBusySingle(run, row);
}

void Tfrmmain::startWithWait(script::tscriptthrd* run, const QString& section, int row)
{
    run->setSectionName(section);
    startRun(run, row);
    base::pumpingDelay(kStartWaitMs);
    run->ReloadOnStart = false;
}

void Tfrmmain::pressBusyRepeat(const QString& name, int row)
{
    const int n = m_repeatCounts.value(name).toInt() + 1;
    m_repeatCounts.setValue(name, QString::number(n));
    const QString runKey = name + QLatin1Char('_') + QString::number(n);
    if (script::tscriptthrd* extra = runningScript(runKey)) {
        startWithWait(extra, QStringLiteral("down"), row);
        return;
    }
    script::tscriptthrd* extra = createRun(runKey, name, row);
    if (!extra)
        return;
    extra->setSectionName(QStringLiteral("down"));
    passStarting(extra);
    extra->resume();
    extra->ReloadOnStart = false;
}

void Tfrmmain::pressBusySingle(script::tscriptthrd* run, int row)
{
    stopAndRelease(run);
    if (leaving() || sectionEmpty(run, QStringLiteral("final"), true))
        return;
    // The stop let other handlers run: one of them may have started the run
    // again, and then this press has nothing left to start.
    if (run->busy())
        return;
    run->setSectionName(QStringLiteral("final"));
    startRun(run, row);
}

bool Tfrmmain::sectionEmpty(script::tscriptthrd* run, const QString& section, bool missingIsEmpty) const
{
    const std::optional<script::TSection> found = run->Engine()->FindSection(section);
    if (!found)
        return missingIsEmpty;
    return found->lines.join(QLatin1Char('\n')).trimmed().isEmpty();
}

void Tfrmmain::ZenDxInput1KeyUp(int Key, const QString& KeyName)
{
    if (leaving())
        return;
    const HandlerScope scope(*this);
    const QString name = m_keybd.CodeToName(Key);
    if (KeyName != name || m_enabledKeys->value(name) != QLatin1String("true"))
        return;
    const int row = triggerRow(name);
    if (row < 0)
        return;
    if (m_trace)
        m_trace->write(QStringLiteral("release ") + name);
    script::tscriptthrd* run = runningScript(name);
    if (!run)
        return;
    if (run->busy()) {
        // A script without an "up" section stops on release; one whose "up"
        // is blank keeps its busy section running.
        if (sectionEmpty(run, QStringLiteral("up"), false))
            return;
        stopAndRelease(run);
        if (leaving() || run->busy())
            return;
    }
    startWithWait(run, QStringLiteral("up"), row);
}

}  // namespace quillon::app
