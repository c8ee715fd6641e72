// The X11 backend follows the server's keyboard map: each physical key reads
// as its own code, a changed map takes effect at once, and hot keys follow
// the lock keys to whichever modifier bits the map gives them.
#include "TestWindows.h"

#include "platform/Desktop.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

using namespace quillon;
using x11test::xdotool;

using x11test::waitFor;

namespace {

class X11KeyboardMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = x11test::testDisplay();
        if (display.isEmpty())
            GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
        desktop = platform::openX11Desktop(display);
        ASSERT_TRUE(desktop);
    }
    void TearDown() override
    {
        // The server's map is shared by every test: put back what we changed.
        for (const QString& line : restore)
            xmodmap(line);
    }

    void xmodmap(const QString& expression)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral("xmodmap"), {QStringLiteral("-e"), expression});
        ASSERT_TRUE(process.waitForFinished(5000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }
    bool down(int vk)
    {
        platform::KeyState state{};
        EXPECT_TRUE(desktop->keyboard().readKeyState(state));
        return state[std::size_t(vk)] == 0x80;
    }
    // Holds a key through xdotool, a client of its own, and reads it back.
    std::vector<int> codesWhileHeld(const QString& keysym)
    {
        xdotool(display, {"keydown", keysym});
        platform::KeyState state{};
        desktop->keyboard().readKeyState(state);
        xdotool(display, {"keyup", keysym});
        std::vector<int> codes;
        for (int vk = 1; vk < 256; ++vk)
            if (state[std::size_t(vk)] == 0x80)
                codes.push_back(vk);
        return codes;
    }

    QString display;
    std::shared_ptr<platform::Desktop> desktop;
    QStringList restore;
};

}  // namespace

TEST_F(X11KeyboardMap, PunctuationAndModifiersReadAsTheirOwnCodes)
{
    EXPECT_EQ(codesWhileHeld("apostrophe"), (std::vector<int>{0xDE}));
    EXPECT_EQ(codesWhileHeld("period"), (std::vector<int>{0xBE}));
    EXPECT_EQ(codesWhileHeld("minus"), (std::vector<int>{0xBD}));
    EXPECT_EQ(codesWhileHeld("grave"), (std::vector<int>{0xC0}));
    EXPECT_EQ(codesWhileHeld("bracketleft"), (std::vector<int>{0xDB}));
    EXPECT_EQ(codesWhileHeld("backslash"), (std::vector<int>{0xDC}));
    EXPECT_EQ(codesWhileHeld("Right"), (std::vector<int>{0x27}));
    EXPECT_EQ(codesWhileHeld("KP_Enter"), (std::vector<int>{0x0D}));
}

// xdotool holds Shift_L along with any modifier key it presses, so the
// modifiers are pressed through the backend itself: each hand's key reads as
// its sided code together with the generic one.
TEST_F(X11KeyboardMap, EachHandsModifierReadsAsItsSidedAndGenericCode)
{
    const struct {
        int sent;
        std::vector<int> read;
    } cases[] = {{0xA1, {0x10, 0xA1}}, {0xA0, {0x10, 0xA0}}, {0xA2, {0x11, 0xA2}},
                 {0xA3, {0x11, 0xA3}}, {0xA4, {0x12, 0xA4}}, {0xA5, {0x12, 0xA5}}};
    for (const auto& c : cases) {
        ASSERT_TRUE(desktop->keyboard().sendKey(c.sent, 0, 0));
        platform::KeyState state{};
        desktop->keyboard().readKeyState(state);
        ASSERT_TRUE(desktop->keyboard().sendKey(c.sent, 0, platform::kKeyUp));
        std::vector<int> codes;
        for (int vk = 1; vk < 256; ++vk)
            if (state[std::size_t(vk)] == 0x80)
                codes.push_back(vk);
        EXPECT_EQ(codes, c.read) << "sent " << c.sent;
    }
}

TEST_F(X11KeyboardMap, AChangedMapTakesEffectWithoutReopening)
{
    EXPECT_EQ(codesWhileHeld("a"), (std::vector<int>{0x41}));
    restore << QStringLiteral("keycode 38 = a A");
    xmodmap(QStringLiteral("keycode 38 = F20"));
    // xdotool finds F20 on keycode 38 now; the backend must read it as F20.
    EXPECT_EQ(codesWhileHeld("F20"), (std::vector<int>{0x83}));
    // Typing F20 uses the key the map has, not a spare keycode of its own.
    ASSERT_TRUE(desktop->keyboard().sendKey(0x83, 0, 0));
    EXPECT_TRUE(down(0x83));
    EXPECT_EQ(desktop->keyboard().scanCode(0x83), 38 - 8);
    ASSERT_TRUE(desktop->keyboard().sendKey(0x83, 0, platform::kKeyUp));
    EXPECT_FALSE(down(0x83));
}

TEST_F(X11KeyboardMap, HotKeysFollowNumLockToAnotherModifierBit)
{
    std::atomic<int> presses{0};
    desktop->hotKeys().setCallback([&](int id) {
        if (id == 3)
            ++presses;
    });
    ASSERT_TRUE(desktop->hotKeys().grab(3, platform::kModControl, 0x77));  // Ctrl+F8
    restore << QStringLiteral("remove mod5 = Num_Lock") << QStringLiteral("add mod2 = Num_Lock");
    xmodmap(QStringLiteral("clear mod2"));
    xmodmap(QStringLiteral("add mod5 = Num_Lock"));
    // With NumLock on (now the Mod5 bit), Ctrl+F8 still reaches the grab once
    // the listener has seen the new map; until then a press goes elsewhere.
    xdotool(display, {"key", "Num_Lock"});
    const bool delivered = waitFor([&] {
        xdotool(display, {"key", "ctrl+F8"});
        return waitFor([&] { return presses.load() > 0; }, 300);
    });
    xdotool(display, {"key", "Num_Lock"});
    EXPECT_TRUE(delivered);
    desktop->hotKeys().ungrab(3);
}

TEST_F(X11KeyboardMap, TwoIdsOnOneKeyKeepTheGrabUntilBothAreReleased)
{
    std::atomic<int> first{0}, second{0};
    desktop->hotKeys().setCallback([&](int id) { ++(id == 1 ? first : second); });
    ASSERT_TRUE(desktop->hotKeys().grab(1, platform::kModControl, 0x76));  // Ctrl+F7
    ASSERT_TRUE(desktop->hotKeys().grab(2, platform::kModControl, 0x76));
    xdotool(display, {"key", "ctrl+F7"});
    EXPECT_TRUE(waitFor([&] { return first.load() == 1 && second.load() == 1; }));
    desktop->hotKeys().ungrab(1);
    xdotool(display, {"key", "ctrl+F7"});
    EXPECT_TRUE(waitFor([&] { return second.load() == 2; }));
    EXPECT_EQ(first.load(), 1);
    desktop->hotKeys().ungrab(2);
}

TEST_F(X11KeyboardMap, AKeyAnotherProgramGrabbedIsRefusedWithAReason)
{
    auto other = platform::openX11Desktop(display);
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->hotKeys().grab(1, 0, 0x75));  // F6, held by "another program"
    const platform::Result refused = desktop->hotKeys().grab(1, 0, 0x75);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), "another program holds the key");
    other->hotKeys().ungrab(1);
    EXPECT_TRUE(desktop->hotKeys().grab(1, 0, 0x75).ok());
    desktop->hotKeys().ungrab(1);
}
