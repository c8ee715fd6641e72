// What another client sees of the keys a script types: xev, focused, prints
// the keysym of every press it gets. The keypad's digits and keys the map
// lacks go through keycodes the backend binds itself.
#include "TestWindows.h"

#include "app/SysParamBridge.h"
#include "input/GMWindow.h"
#include "platform/Desktop.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <functional>

using namespace quillon;
using x11test::Client;
using x11test::xdotool;

using x11test::waitFor;

namespace {

// The keysym names of xev's KeyPress (or KeyRelease) events, in order.
QStringList eventKeysyms(const QString& output, const QString& kind)
{
    QStringList names;
    bool wanted = false;
    for (const QString& line : output.split('\n')) {
        if (line.startsWith(QLatin1String("Key")))
            wanted = line.startsWith(kind + QLatin1String(" event"));
        const qsizetype at = line.indexOf(QLatin1String("(keysym "));
        if (wanted && at >= 0) {
            const qsizetype comma = line.indexOf(QLatin1Char(','), at);
            names << line.mid(comma + 2, line.indexOf(QLatin1Char(')'), comma) - comma - 2);
            wanted = false;
        }
    }
    return names;
}

class X11KeyTyping : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = x11test::testDisplay();
        if (display.isEmpty())
            GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
        desktop = platform::openX11Desktop(display);
        ASSERT_TRUE(desktop);
        kit = std::make_unique<app::DesktopBridge>(desktop);
        dpy = XOpenDisplay(display.toLocal8Bit().constData());
        ASSERT_TRUE(dpy);
        xev = std::make_unique<Client>(
            display, "stdbuf", QStringList{"-oL", "xev", "-name", "keyprobe", "-event", "keyboard"});
        const auto w = xev->waitWindow({"--name", "keyprobe"});
        ASSERT_NE(w, 0u);
        input::TGMWindow locator(desktop->windows());
        // Under a window manager the focus follows a moment later, if the
        // manager grants it (openbox takes a while after many map changes):
        // it is asked for until a plain key reaches xev.
        ASSERT_TRUE(waitFor([&] {
            locator.ActivateWindow(w);
            XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
            XSync(dpy, False);
            run("key", "q");
            return waitFor([&] { return presses().contains("q"); }, 300);
        }, 15000));
    }
    void TearDown() override
    {
        xev.reset();
        if (dpy)
            XCloseDisplay(dpy);
    }

    void run(const QString& word, const QString& content)
    {
        QString error;
        EXPECT_TRUE(kit->bridge().command(word, content, &error)) << error.toStdString();
    }
    QStringList presses() { return eventKeysyms(xev->output(), "KeyPress"); }
    QStringList releases() { return eventKeysyms(xev->output(), "KeyRelease"); }
    // The presses after the probe's q, once `count` of them have come.
    QStringList pressesAfterProbe(int count)
    {
        QStringList after;
        waitFor([&] {
            const QStringList all = presses();
            after = all.mid(all.lastIndexOf("q") + 1);
            return after.size() >= count;
        });
        return after;
    }
    bool numLockOn()
    {
        const KeyCode numLock = XKeysymToKeycode(dpy, XK_Num_Lock);
        unsigned mask = 0;
        XModifierKeymap* map = XGetModifierMapping(dpy);
        for (int m = 0; m < 8; ++m)
            for (int i = 0; i < map->max_keypermod; ++i)
                if (numLock && map->modifiermap[m * map->max_keypermod + i] == numLock)
                    mask |= 1u << m;
        XFreeModifiermap(map);
        Window root, child;
        int rx, ry, wx, wy;
        unsigned state = 0;
        XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &rx, &ry, &wx, &wy, &state);
        return mask != 0 && (state & mask) == mask;
    }

    QString display;
    std::shared_ptr<platform::Desktop> desktop;
    std::unique_ptr<app::DesktopBridge> kit;
    std::unique_ptr<Client> xev;
    Display* dpy = nullptr;
};

}  // namespace

TEST_F(X11KeyTyping, KeypadDigitsTypeDigitsWithNumLockOffAndOnAndLeaveItAsItWas)
{
    const QStringList digits{"KP_7", "KP_0", "KP_Decimal", "KP_3"};
    for (const bool numLock : {false, true}) {
        SCOPED_TRACE(numLock ? "NumLock on" : "NumLock off");
        if (numLockOn() != numLock)
            xdotool(display, {"key", "Num_Lock"});
        ASSERT_TRUE(waitFor([&] { return numLockOn() == numLock; }));
        run("key", "q");
        run("key", "numpad7");
        run("key", "NUMPAD0");
        run("kdown", "decimal");
        run("kup", "decimal");
        run("key", "numpad3");
        EXPECT_EQ(pressesAfterProbe(4), digits) << xev->output().toStdString();
        EXPECT_EQ(numLockOn(), numLock);
    }
    xdotool(display, {"key", "Num_Lock"});
}

// More such keys than a keyboard map has free keycodes, each typed once in
// turn, twice over: every one arrives as itself, none as NoSymbol.
TEST_F(X11KeyTyping, EveryKeyWithoutAKeyOfItsOwnArrivesAsItselfEvenBeyondTheFreeKeycodes)
{
    const std::pair<const char*, const char*> keys[] = {
        {"F13", "F13"}, {"F14", "F14"}, {"F15", "F15"}, {"F16", "F16"}, {"F17", "F17"},
        {"F18", "F18"}, {"F19", "F19"}, {"F20", "F20"}, {"F21", "F21"}, {"F22", "F22"},
        {"F23", "F23"}, {"F24", "F24"}, {"SELECT", "Select"}, {"EXECUTE", "Execute"},
        {"SEPARATOR", "KP_Separator"}, {"CLEAR", "Clear"}, {"ATTN", "3270_Attn"},
        {"CRSEL", "3270_CursorSelect"}, {"EXSEL", "3270_ExSelect"}, {"EREOF", "3270_EraseEOF"},
        {"PLAY", "3270_Play"}, {"PA1", "3270_PA1"}, {"NUMPAD1", "KP_1"}, {"NUMPAD2", "KP_2"},
        {"NUMPAD4", "KP_4"}, {"NUMPAD5", "KP_5"}, {"NUMPAD6", "KP_6"}, {"NUMPAD8", "KP_8"},
        {"NUMPAD9", "KP_9"}};
    QStringList expected;
    run("key", "q");
    for (int round = 0; round < 2; ++round) {
        for (const auto& [name, keysym] : keys) {
            run("key", name);
            expected << keysym;
        }
    }
    EXPECT_EQ(pressesAfterProbe(int(expected.size())), expected);
}

// A key held when the desktop that bound its keycode closes is released as
// itself later: the binding outlives the desktop, and no other key takes it.
TEST_F(X11KeyTyping, AKeyHeldWhileItsDesktopClosesIsReleasedAsItself)
{
    auto other = platform::openX11Desktop(display);
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->keyboard().sendKey(0x7E, 0, 0));  // F15
    other.reset();
    ASSERT_TRUE(waitFor([&] { return presses().contains("F15"); }));
    // Another key without a key of its own, typed meanwhile, must not take
    // the held key's keycode.
    run("key", "F16");
    ASSERT_TRUE(waitFor([&] { return presses().contains("F16"); }));
    ASSERT_TRUE(desktop->keyboard().sendKey(0x7E, 0, platform::kKeyUp));
    EXPECT_TRUE(waitFor([&] { return releases().contains("F15"); })) << xev->output().toStdString();
    EXPECT_FALSE(releases().contains("NoSymbol"));
    // The key that went down came up: no keycode is left held.
    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    int held = 0;
    for (char byte : keys)
        held += __builtin_popcount(static_cast<unsigned char>(byte));
    EXPECT_EQ(held, 0);
}
