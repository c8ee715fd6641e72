// Raw key events of the real server: every press reaches a watch, whatever
// has the focus and even while the key is grabbed by someone.
#include "TestWindows.h"

#include "platform/Desktop.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace quillon;
using x11test::xdotool;

using x11test::waitFor;

namespace {

class X11KeyEvents : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = x11test::testDisplay();
        if (display.isEmpty())
            GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
        desktop = platform::openX11Desktop(display);
        ASSERT_TRUE(desktop);
        watch = desktop->keyEvents().watch([this] { ++wakes; });
        ASSERT_TRUE(watch) << "the server has no XInput2";
    }
    platform::KeyState presses()
    {
        platform::KeyState state{};
        watch->takePresses(state);
        return state;
    }

    QString display;
    std::shared_ptr<platform::Desktop> desktop;
    std::atomic<int> wakes{0};
    std::unique_ptr<platform::KeyWatch> watch;
};

}  // namespace

TEST_F(X11KeyEvents, AKeyPressedAndReleasedIsKeptUntilTaken)
{
    xdotool(display, {"key", "--delay", "0", "b"});
    // One wake for the press, one for the release.
    ASSERT_TRUE(waitFor([&] { return wakes.load() >= 2; }));
    platform::KeyState now{};
    desktop->keyboard().readKeyState(now);
    EXPECT_EQ(now[0x42], 0);  // the key is up again
    const platform::KeyState taken = presses();
    EXPECT_EQ(taken[0x42], 0x80);
    EXPECT_EQ(taken[0x41], 0);
    EXPECT_EQ(presses()[0x42], 0);  // taken once
}

TEST_F(X11KeyEvents, SidedModifiersBringTheGenericCode)
{
    ASSERT_TRUE(desktop->keyboard().sendKey(0xA3, 0, 0));
    ASSERT_TRUE(desktop->keyboard().sendKey(0xA3, 0, platform::kKeyUp));
    ASSERT_TRUE(waitFor([&] { return wakes.load() >= 2; }));
    const platform::KeyState taken = presses();
    EXPECT_EQ(taken[0xA3], 0x80);
    EXPECT_EQ(taken[0x11], 0x80);
    EXPECT_EQ(taken[0xA2], 0);
}

TEST_F(X11KeyEvents, AGrabbedKeyIsStillHeard)
{
    ASSERT_TRUE(desktop->hotKeys().grab(1, 0, 0x74));  // F5, taken from every window
    xdotool(display, {"key", "F5"});
    ASSERT_TRUE(waitFor([&] { return wakes.load() >= 2; }));
    EXPECT_EQ(presses()[0x74], 0x80);
    desktop->hotKeys().ungrab(1);
}

