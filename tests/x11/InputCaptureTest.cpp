// Input capture on a real X server, driven by real clients: a grabbed key no
// longer reaches the focused window, and the trigger input component sees
// every press, quick taps and grabbed keys included.
#include "TestWindows.h"

#include "input/GMWindow.h"
#include "input/ZenDxInput.h"
#include "input/ZenEventhread.h"
#include "input/ZenHotKey.h"
#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace quillon;
using x11test::Client;
using x11test::xdotool;

namespace {

// Waits while the application's events are dispatched.
bool processUntil(const std::function<bool()>& done, int timeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

class InputCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = x11test::testDisplay();
        if (display.isEmpty())
            GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
        desktop = platform::openX11Desktop(display);
        ASSERT_TRUE(desktop);
    }
    std::unique_ptr<input::TZenDxInput> triggerInput(bool eventWake)
    {
        auto dx = std::make_unique<input::TZenDxInput>(&window, *desktop);
        dx->setEventWake(eventWake);
        dx->OnKeyDonw = [this](int, const QString& name) {
            if (name == "F1")
                events << "down";
        };
        dx->OnKeyUp = [this](int, const QString& name) {
            if (name == "F1")
                events << "up";
        };
        dx->setEnable(true);
        return dx;
    }

    QString display;
    std::shared_ptr<platform::Desktop> desktop;
    QObject window;
    QStringList events;
};

}  // namespace

TEST_F(InputCapture, AnArmedKeyIsTakenFromTheFocusedWindowUntilDisarmed)
{
    Client xev(display, "stdbuf", {"-oL", "xev", "-name", "xevgrab", "-event", "keyboard"});
    const auto w = xev.waitWindow({"--name", "xevgrab"});
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(input::TGMWindow(desktop->windows()).ActivateWindow(w));
    x11test::TestWindows probe(display);
    ASSERT_TRUE(processUntil([&] { return probe.focus() == w; }));
    input::TZenHotKey hotKey(desktop->hotKeys());
    int reported = 0;
    hotKey.OnHotKeyDown = [&](const QString& name, int) { reported += name == "F1"; };
    hotKey.Add(0, 0x70, "F1");
    xdotool(display, {"key", "F1"});
    xdotool(display, {"key", "F2"});  // not armed: reaches xev, and shows it is listening
    EXPECT_TRUE(processUntil([&] { return reported == 1 && xev.output().contains(", F2)"); }))
        << xev.output().toStdString();
    EXPECT_FALSE(xev.output().contains(", F1)"));
    hotKey.Remove("F1");
    xdotool(display, {"key", "F1"});
    EXPECT_TRUE(processUntil([&] { return xev.output().contains(", F1)"); }))
        << xev.output().toStdString();
    EXPECT_EQ(reported, 1);
}

TEST_F(InputCapture, APressAndReleaseRaiseDownThenUpAlsoWhileTheKeyIsGrabbed)
{
    input::TZenHotKey hotKey(desktop->hotKeys());
    hotKey.Add(0, 0x70, "F1");
    auto dx = triggerInput(true);
    xdotool(display, {"keydown", "F1"});
    EXPECT_TRUE(processUntil([&] { return events == QStringList{"down"}; }));
    xdotool(display, {"keyup", "F1"});
    EXPECT_TRUE(processUntil([&] { return events == (QStringList{"down", "up"}); }));
}

// A tap far shorter than the 50 ms between polls, with and without the
// event wake: the press is never lost.
TEST_F(InputCapture, ATenMillisecondTapIsNeverLost)
{
    for (bool eventWake : {true, false}) {
        events.clear();
        auto dx = triggerInput(eventWake);
        processUntil([] { return false; }, 60);  // the first polls have run
        // xdotool holds up this thread while it runs, so each tap falls
        // between two polls.
        for (int i = 1; i <= 3; ++i) {
            xdotool(display, {"keydown", "F1", "sleep", "0.01", "keyup", "F1"});
            EXPECT_TRUE(processUntil([&] { return events.size() == 2 * i; }))
                << "event wake " << eventWake << ": " << events.join(' ').toStdString();
        }
        EXPECT_EQ(events, (QStringList{"down", "up", "down", "up", "down", "up"}));
    }
}

// With ten seconds between ticks, only the wake of each key event can bring
// its poll.
TEST_F(InputCapture, AKeyEventWakesAPollAtOnce)
{
    input::startSharedPacing(&window, 10000);
    auto dx = triggerInput(true);  // the pacing thread runs already
    processUntil([] { return false; }, 50);  // the first tick's poll
    for (int i = 1; i <= 3; ++i) {
        xdotool(display, {"keydown", "F1"});
        EXPECT_TRUE(processUntil([&] { return events.size() == 2 * i - 1; }, 2000));
        xdotool(display, {"keyup", "F1"});
        EXPECT_TRUE(processUntil([&] { return events.size() == 2 * i; }, 2000));
    }
    dx->setEnable(false);
    EXPECT_FALSE(input::sharedPacingRunning());
}
