// The real program driven by the real keyboard: it starts from a temporary
// portable folder whose state file binds F1 (single run) and F2 (repeat
// run), with F11 the stop key; keys go in through xdotool; the scripts
// append what they did to the title of an xmessage window. The program's
// run trace (QUILLON_TRACE) says which runs it made and when rows were
// armed, so the tests wait for that instead of sleeping.
#include "PortableProgram.h"
#include "RunTraceReader.h"
#include "TestWindows.h"

#include "input/GMWindow.h"
#include "platform/Desktop.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

using namespace quillon;
using x11test::Client;
using x11test::PortableProgram;
using x11test::RunTraceReader;
using x11test::TraceEvent;
using x11test::xdotool;

namespace {

constexpr std::uint32_t kBusyCellRgb = 0xFFC878;  // the key cell of a row whose runs are busy

// A section that appends `word` to the title of the first xmessage window.
QByteArray appendTitle(const char* word)
{
    return QByteArray("h=findhandle(\"xmessage\")\r\nt=gethtxt(h)\r\nsethtxt h,t & \" ") + word + "\"\r\n";
}

QByteArray section(const char* name, const QByteArray& body)
{
    return QByteArray("section ") + name + "\r\n" + body + "end section\r\n";
}

std::function<bool(const TraceEvent&)> traced(const QString& what, const QString& word)
{
    return [what, word](const TraceEvent& e) { return e.what == what && e.words.value(0) == word; };
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    return x11test::waitFor(condition, timeoutMs);
}

class TriggerKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = x11test::testDisplay();
        if (display.isEmpty())
            GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
        program = std::make_unique<PortableProgram>(display, QStringLiteral(QUILLON_BINARY));
        trace = std::make_unique<RunTraceReader>(program->path(QStringLiteral("trace.log")));
    }
    void TearDown() override
    {
        if (program && program->process().state() == QProcess::Running) {
            EXPECT_TRUE(program->terminate());
        }
        // Nothing the tests pressed stays down for the next one.
        for (const char* key : {"F1", "F2", "F11"})
            xdotool(display, {"keyup", key});
    }

    // Starts the log window and the program with F1 running `f1` and F2
    // running `f2` (repeat mode), both armed; returns once both are armed.
    void start(const QByteArray& f1, const QByteArray& f2 = section("down", appendTitle("f2")))
    {
        log = std::make_unique<Client>(display, "xmessage", QStringList{"-name", "triggerlog", "-title", "log:", "log"});
        logWindow = log->waitWindow({"--classname", "triggerlog"});
        ASSERT_NE(logWindow, 0u);
        program->write(QStringLiteral("script/f1.txt"), f1);
        program->write(QStringLiteral("script/f2.txt"), f2);
        program->writeState({{"F1", "./script/f1.txt", true, false}, {"F2", "./script/f2.txt", true, true}});
        QProcessEnvironment env;
        env.insert(QStringLiteral("QUILLON_TRACE"), program->path(QStringLiteral("trace.log")));
        program->start(env);
        mainWindow = program->waitWindow();
        ASSERT_FALSE(mainWindow.isEmpty()) << "the program's window never showed";
        ASSERT_GE(trace->waitFor(traced("armed", "F1"), 10000), 0) << "F1 was never armed";
        ASSERT_GE(trace->waitFor(traced("armed", "F2"), 10000), 0) << "F2 was never armed";
    }

    QString title() { return xdotool(display, {"getwindowname", QString::number(logWindow)}); }
    bool waitTitle(const QString& expected, int timeoutMs = 10000)
    {
        return waitUntil([&] { return title() == expected; }, timeoutMs);
    }
    // The index of the next event matching, after the events seen so far.
    int next(const std::function<bool(const TraceEvent&)>& match, int timeoutMs = 10000)
    {
        return trace->waitFor(match, timeoutMs, m_seen);
    }
    void markSeen() { m_seen = trace->events().size(); }

    QString display;
    std::unique_ptr<PortableProgram> program;
    std::unique_ptr<RunTraceReader> trace;
    std::unique_ptr<Client> log;
    std::uint32_t logWindow = 0;
    QString mainWindow;

private:
    std::size_t m_seen = 0;
};

}  // namespace

TEST_F(TriggerKeys, ASecondPressDuringALongDownStopsItAndRunsFinal)
{
    // A blank "up" keeps a busy "down" running through the release.
    start(section("down", appendTitle("down") + "delay 20000\r\n" + appendTitle("late")) + section("up", "\r\n")
          + section("final", appendTitle("final")));
    xdotool(display, {"keydown", "F1"});
    EXPECT_TRUE(waitTitle("log: down")) << title().toStdString();
    xdotool(display, {"keyup", "F1"});
    ASSERT_GE(next(traced("release", "F1")), 0);
    // The second press ends the delay at once and runs "final".
    xdotool(display, {"keydown", "F1"});
    EXPECT_TRUE(waitTitle("log: down final")) << title().toStdString();
    xdotool(display, {"keyup", "F1"});
    const QStringList passes = trace->passes();
    EXPECT_EQ(passes.mid(0, 2), (QStringList{"F1 down", "F1 final"})) << passes.join(", ").toStdString();
}

TEST_F(TriggerKeys, HoldingF1RunsDownAndReleasingItStopsDownAndRunsUp)
{
    start(section("down", appendTitle("down") + "delay 20000\r\n" + appendTitle("late")) + section("up", appendTitle("up")));
    xdotool(display, {"keydown", "F1"});
    EXPECT_TRUE(waitTitle("log: down")) << title().toStdString();
    xdotool(display, {"keyup", "F1"});
    EXPECT_TRUE(waitTitle("log: down up")) << title().toStdString();
    EXPECT_EQ(trace->passes(), (QStringList{"F1 down", "F1 up"})) << trace->passes().join(", ").toStdString();
}

TEST_F(TriggerKeys, ATenMillisecondTapOfF1StillRunsDown)
{
    start(section("down", appendTitle("down")) + section("up", "\r\n"));
    for (const char* expected : {"log: down", "log: down down", "log: down down down"}) {
        markSeen();
        xdotool(display, {"keydown", "F1", "sleep", "0.01", "keyup", "F1"});
        EXPECT_GE(next(traced("release", "F1")), 0) << "the release of the tap was lost";
        EXPECT_TRUE(waitTitle(QString::fromLatin1(expected))) << title().toStdString();
    }
}

TEST_F(TriggerKeys, F2PressedFourTimesDuringALongRunMakesFourParallelRuns)
{
    start(section("down", "\r\n"), section("down", appendTitle("f2") + "delay 20000\r\n") + section("up", "\r\n"));
    x11test::TestWindows screen(display);
    const auto window = mainWindow.toUInt();
    EXPECT_EQ(screen.countPixels(window, kBusyCellRgb), 0) << "a row shows runs before any key was pressed";
    for (int i = 0; i < 4; ++i) {
        xdotool(display, {"key", "F2"});
        // Each press is handled before the next one comes.
        ASSERT_GE(next(traced("release", "F2")), 0);
        markSeen();
    }
    EXPECT_TRUE(waitTitle("log: f2 f2 f2 f2")) << title().toStdString();
    EXPECT_EQ(trace->passes(), (QStringList{"F2 down", "F2_1 down", "F2_2 down", "F2_3 down"}))
        << trace->passes().join(", ").toStdString();
    // The row's key cell shows its busy runs, and stops showing them when
    // the stop key has stopped them.
    EXPECT_TRUE(waitUntil([&] { return screen.countPixels(window, kBusyCellRgb) > 0; }, 5000));
    xdotool(display, {"key", "F11"});
    const int stopped = next(traced("stopped", "0"));
    EXPECT_GE(stopped, 0) << "runs were still busy after the stop key";
    EXPECT_TRUE(waitUntil([&] { return screen.countPixels(window, kBusyCellRgb) == 0; }, 5000));
}

TEST_F(TriggerKeys, F11StopsEveryRunTogglesTheRowsAndReleasesAHeldKey)
{
    start(section("down", appendTitle("down") + "kdown \"b\"\r\ndelay 20000\r\n") + section("up", "\r\n"));
    x11test::TestWindows keyboard(display);
    xdotool(display, {"key", "F1"});
    ASSERT_TRUE(waitTitle("log: down")) << title().toStdString();
    EXPECT_TRUE(waitUntil([&] { return keyboard.keyDown("b"); }, 5000)) << "the script did not hold B down";
    markSeen();
    xdotool(display, {"key", "F11"});
    EXPECT_GE(next(traced("stopped", "0")), 0) << "a run was still busy after the stop key";
    EXPECT_GE(next(traced("disarmed", "F1")), 0);
    EXPECT_GE(next(traced("disarmed", "F2")), 0);
    EXPECT_TRUE(waitUntil([&] { return !keyboard.keyDown("b"); }, 5000)) << "B stayed down after the stop";
    // Disarmed, F1 starts nothing; the stop key arms both rows again.
    markSeen();
    xdotool(display, {"key", "F1"});
    xdotool(display, {"key", "F11"});
    EXPECT_GE(next(traced("armed", "F2")), 0);
    xdotool(display, {"key", "F1"});
    EXPECT_TRUE(waitTitle("log: down down")) << title().toStdString();
    EXPECT_EQ(trace->passes(), (QStringList{"F1 down", "F1 down"})) << trace->passes().join(", ").toStdString();
}

TEST_F(TriggerKeys, AnArmedF1IsTakenFromTheFocusedWindowUntilTheStopKeyDisarmsIt)
{
    start(section("down", appendTitle("down")) + section("up", "\r\n"));
    Client xev(display, "stdbuf", {"-oL", "xev", "-name", "triggerxev", "-event", "keyboard"});
    const auto target = xev.waitWindow({"--name", "triggerxev"});
    ASSERT_NE(target, 0u);
    auto desktop = platform::openX11Desktop(display);
    ASSERT_TRUE(desktop);
    x11test::TestWindows probe(display);
    ASSERT_TRUE(waitUntil([&] {
        input::TGMWindow(desktop->windows()).ActivateWindow(target);
        return probe.focus() == target;
    }, 5000)) << "xev never got the focus";
    xdotool(display, {"key", "F1"});
    xdotool(display, {"key", "F3"});  // not armed: reaches xev, and shows it listens
    EXPECT_TRUE(waitTitle("log: down")) << title().toStdString();
    EXPECT_TRUE(waitUntil([&] { return xev.output().contains(", F3)"); })) << xev.output().toStdString();
    EXPECT_FALSE(xev.output().contains(", F1)")) << "the armed F1 reached the focused window";
    markSeen();
    xdotool(display, {"key", "F11"});
    ASSERT_GE(next(traced("disarmed", "F1")), 0);
    xdotool(display, {"key", "F1"});
    EXPECT_TRUE(waitUntil([&] { return xev.output().contains(", F1)"); })) << xev.output().toStdString();
    EXPECT_EQ(title(), "log: down");
}
