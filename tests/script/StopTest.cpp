// Stopping runs from the thread that runs the application's event loop, as
// the main window does: events keep flowing while Stop waits, Stop returns
// when the run is idle, and a run that does not get idle is reported.
#include "EngineFixture.h"
#include "script/ScriptThrd.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace quillon::script::testing {
namespace {

class Ticker : public QObject {
    Q_OBJECT
public:
    std::atomic<int> ticks{0};
public slots:
    void Tick() { ++ticks; }
};

void processUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(GuiThreadStop, StopsManyRunsThatCallIntoTheGuiThreadWhileItsEventsFlow)
{
    Ticker ticker;
    TScripert templ(&ticker);
    templ.LoadScriptText(QStringLiteral("section down\ndo while 1=1\ncallsys[self.Tick()]\nloop\nend section"));
    constexpr int kRuns = 20;
    std::vector<std::unique_ptr<tscriptthrd>> runs;
    for (int i = 0; i < kRuns; ++i) {
        runs.push_back(std::make_unique<tscriptthrd>(&ticker, &templ));
        runs.back()->setSectionName(QStringLiteral("down"));
        runs.back()->resume();
    }
    // Every run is now waiting for the GUI thread to run its call.
    processUntil([&] { return ticker.ticks > 4 * kRuns; });
    ASSERT_GT(ticker.ticks.load(), 4 * kRuns);
    // Each Stop keeps serving the calls of the runs still going while it
    // waits; the time it takes is measured by the engine benchmark.
    for (auto& run : runs)
        EXPECT_TRUE(run->Stop());
    for (auto& run : runs)
        EXPECT_TRUE(run->Idle());
}

TEST(GuiThreadStop, StopReportsARunStillBusyAtItsLimit)
{
    std::atomic<bool> release{false};
    TScripert templ;
    templ.setDefineOrders(programMacros());
    templ.OnSetSysParam = [&release](TScripert*, QString&, QString&, auto&) {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    templ.LoadScriptText(QStringLiteral("section down\nkey \"a\"\nend section"));
    tscriptthrd run(nullptr, &templ);
    run.setSectionName(QStringLiteral("down"));
    run.resume();
    EXPECT_FALSE(run.Stop(100)) << "the handler has not returned";
    EXPECT_TRUE(run.busy());
    release = true;
    EXPECT_TRUE(run.Stop());
    EXPECT_TRUE(run.Idle());
}

}  // namespace
}  // namespace quillon::script::testing

#include "StopTest.moc"
