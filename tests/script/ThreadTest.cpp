// Script runs on their own threads: passes, stops, delays, many runs at once.
#include "EngineFixture.h"
#include "RecordingHost.h"
#include "script/ScriptThrd.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <memory>
#include <vector>

namespace quillon::script::testing {
namespace {

class ThreadTest : public ::testing::Test {
protected:
    ThreadTest() : templ(nullptr, RecordingHost::factory())
    {
        templ.setDefineOrders(programMacros());
        templ.OnError = [this](int line, int, int number, const QString&) {
            errorCount++;
            lastErrorLine = line;
            lastErrorNumber = number;
        };
    }

    void load(const char* text) { templ.LoadScriptText(QString::fromUtf8(text)); }

    static QString var(tscriptthrd& run, const char* name)
    {
        return static_cast<RecordingHost&>(run.Engine()->ScriptHost()).var(name);
    }

    static void startSection(tscriptthrd& run, const char* section)
    {
        run.setSectionName(QString::fromLatin1(section));
        run.resume();
    }

    TScripert templ;
    std::atomic<int> errorCount{0};
    std::atomic<int> lastErrorLine{0};
    std::atomic<int> lastErrorNumber{0};
};

TEST_F(ThreadTest, StopEndsADelayAtOnceAndTheRunCanStartAgain)
{
    load("section down\nn=n+1\ndelay 10000\nafter=1\nend section");
    tscriptthrd run(nullptr, &templ);
    EXPECT_FALSE(run.Idle());
    for (int pass = 1; pass <= 3; ++pass) {
        startSection(run, "down");
        QElapsedTimer sinceStart;
        sinceStart.start();
        while (run.Engine()->DelayRemaining() == 0 && sinceStart.elapsed() < 2000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_FALSE(run.Idle());
        EXPECT_FALSE(run.Start(QStringLiteral("/nonexistent"))) << "a busy run is not reloaded";
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(run.Stop());
        EXPECT_LT(timer.elapsed(), 200);
        EXPECT_TRUE(run.Idle());
        EXPECT_EQ(var(run, "n"), QString::number(pass));  // variables persist from pass to pass
        EXPECT_TRUE(var(run, "after").isEmpty());
    }
}

TEST_F(ThreadTest, StopRightAfterResumeIsNotLost)
{
    load("section down\ndelay 10000\nend section");
    tscriptthrd run(nullptr, &templ);
    for (int i = 0; i < 20; ++i) {
        startSection(run, "down");
        QElapsedTimer timer;
        timer.start();
        run.Stop();
        EXPECT_LT(timer.elapsed(), 200) << "round " << i;
    }
}

TEST_F(ThreadTest, StartReloadsOnlyWhenAskedAndReportsUnreadableFiles)
{
    load("section down\nwho=1\nend section");
    tscriptthrd run(nullptr, &templ);
    run.ReloadOnStart = false;
    run.setSectionName(QStringLiteral("down"));
    ASSERT_TRUE(run.Start(QStringLiteral("/nonexistent/script.txt")));
    ASSERT_TRUE(run.waitIdle(5000));
    EXPECT_EQ(var(run, "who"), QStringLiteral("1"));
    run.ReloadOnStart = true;
    EXPECT_FALSE(run.Start(QStringLiteral("/nonexistent/script.txt")));
    EXPECT_EQ(lastErrorNumber.load(), 53);
    EXPECT_EQ(lastErrorLine.load(), -1);
    EXPECT_TRUE(run.Idle());
    EXPECT_EQ(errorCount.load(), 1);
}

TEST_F(ThreadTest, RunKeepsTheTemplateItWasCreatedFrom)
{
    load("section down\nwho=1\nend section");
    tscriptthrd first(nullptr, &templ);
    load("section down\nwho=2\nend section");
    tscriptthrd second(nullptr, &templ);
    startSection(second, "down");
    startSection(first, "down");
    ASSERT_TRUE(first.waitIdle(5000));
    ASSERT_TRUE(second.waitIdle(5000));
    EXPECT_EQ(var(first, "who"), QStringLiteral("1"));
    EXPECT_EQ(var(second, "who"), QStringLiteral("2"));
}

TEST_F(ThreadTest, PassEndedByAnErrorLeavesTheRunIdleAndReusable)
{
    load("section down\nn=n+1\ngoto nowhere\nend section\nsection up\nup=1\nend section");
    tscriptthrd run(nullptr, &templ);
    startSection(run, "down");
    ASSERT_TRUE(run.waitIdle(5000));
    EXPECT_EQ(lastErrorNumber.load(), 812);
    EXPECT_EQ(lastErrorLine.load(), 2);
    EXPECT_TRUE(run.Engine()->Finished());
    startSection(run, "up");
    ASSERT_TRUE(run.waitIdle(5000));
    EXPECT_EQ(var(run, "up"), QStringLiteral("1"));

    // An exception out of a handler is reported and the run goes idle too.
    run.Engine()->OnSetSysParam = [](TScripert*, QString&, QString&, auto&) { throw 42; };
    run.Engine()->LoadScriptText(QStringLiteral("section down\nkey \"a\"\nend section"));
    startSection(run, "down");
    ASSERT_TRUE(run.waitIdle(5000));
    EXPECT_EQ(lastErrorNumber.load(), 507);
}

TEST_F(ThreadTest, ManyRunsStartAndStopWithoutCrossingState)
{
    load("section down\nn=n+1\nid=id\ndelay 2000\nend section\nsection up\nu=u+1\nend section");
    std::atomic<int> lines{0};
    templ.OnLineNumber = [&lines](TScripert*, int) { lines++; };
    constexpr int kRuns = 50;
    constexpr int kRounds = 4;
    std::vector<std::unique_ptr<tscriptthrd>> runs;
    for (int i = 0; i < kRuns; ++i) {
        runs.push_back(std::make_unique<tscriptthrd>(nullptr, &templ));
        static_cast<RecordingHost&>(runs.back()->Engine()->ScriptHost()).setText("id", QString::number(i));
    }
    for (int round = 0; round < kRounds; ++round) {
        for (auto& run : runs)
            startSection(*run, "down");
        for (auto& run : runs)
            run->Stop();
        for (auto& run : runs)
            startSection(*run, "up");
        for (auto& run : runs)
            ASSERT_TRUE(run->waitIdle(5000));
    }
    for (int i = 0; i < kRuns; ++i) {
        EXPECT_EQ(var(*runs[size_t(i)], "u"), QString::number(kRounds));
        EXPECT_EQ(var(*runs[size_t(i)], "id"), QString::number(i));
        EXPECT_LE(var(*runs[size_t(i)], "n").toInt(), kRounds);
    }
    EXPECT_EQ(errorCount.load(), 0);
    EXPECT_GE(lines.load(), kRuns * kRounds);
    runs.clear();  // destructors of idle runs return promptly
}

TEST_F(ThreadTest, DestructorStopsABusyRun)
{
    load("section down\ndelay 10000\nend section");
    QElapsedTimer timer;
    timer.start();
    {
        tscriptthrd run(nullptr, &templ);
        startSection(run, "down");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_LT(timer.elapsed(), 500);
    tscriptthrd neverStarted(nullptr, &templ);
    EXPECT_TRUE(neverStarted.Stop());
}


TEST_F(ThreadTest, CreateEngineMakesAnEngineWithTheTemplatesHandlersMacrosAndLines)
{
    std::mutex mutex;
    QStringList commands;
    templ.OnSetSysParam = [&](TScripert*, QString& word, QString& text, auto&) {
        std::lock_guard lock(mutex);
        commands << word + QLatin1Char('|') + text;
    };
    load("section down\nkey \"a\"\nend section");
    tscriptthrd run(nullptr, &templ);
    load("section down\nkey \"b\"\nend section");  // later loads of the template do not reach the run
    run.CreateEngine();
    startSection(run, "down");
    ASSERT_TRUE(run.waitIdle(5000));
    std::lock_guard lock(mutex);
    EXPECT_EQ(commands, QStringList{QStringLiteral("key|a")});
}

TEST_F(ThreadTest, ARunPretreatsTheScriptOnceSoCommandsKeepTheirText)
{
    std::mutex mutex;
    QStringList commands;
    templ.OnSetSysParam = [&](TScripert*, QString& word, QString& text, auto&) {
        std::lock_guard lock(mutex);
        commands << word + QLatin1Char('|') + text;
    };
    load("sethtxt 5,\"mouse click\"\nkey \"kup \"");
    tscriptthrd run(nullptr, &templ);
    run.resume();
    ASSERT_TRUE(run.waitIdle(5000));
    std::lock_guard lock(mutex);
    EXPECT_EQ(commands, (QStringList{QStringLiteral("sethtxt|5,mouse click"), QStringLiteral("key|kup ")}));
    EXPECT_EQ(errorCount.load(), 0);
}

}  // namespace
}  // namespace quillon::script::testing
