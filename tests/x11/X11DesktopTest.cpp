// The X11 backend against a real X server and real clients.
#include "TestWindows.h"

#include "app/SysParamBridge.h"
#include "input/GMWindow.h"
#include "platform/Desktop.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

using namespace quillon;
using x11test::Client;
using x11test::xdotool;

using x11test::waitFor;

namespace {

constexpr std::uint32_t kNoSuchWindow = 0x7FFFFF0;

class X11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = x11test::testDisplay();
        if (display.isEmpty())
            GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
        desktop = platform::openX11Desktop(display);
        ASSERT_TRUE(desktop);
        made = std::make_unique<x11test::TestWindows>(display);
        kit = std::make_unique<app::DesktopBridge>(desktop);
        locator = std::make_unique<input::TGMWindow>(desktop->windows());
    }

    QString ask(const QString& word, const QString& content)
    {
        QString text = content;
        QString error;
        EXPECT_TRUE(kit->bridge().query(word, text, &error)) << error.toStdString();
        return text;
    }
    void run(const QString& word, const QString& content)
    {
        QString error;
        EXPECT_TRUE(kit->bridge().command(word, content, &error)) << error.toStdString();
    }
    bool keyDown(int vk)
    {
        platform::KeyState state{};
        EXPECT_TRUE(desktop->keyboard().readKeyState(state));
        return state[vk] == 0x80;
    }
    static QString h(std::uint32_t window) { return QString::number(window); }

    QString display;
    std::shared_ptr<platform::Desktop> desktop;
    std::unique_ptr<x11test::TestWindows> made;
    std::unique_ptr<app::DesktopBridge> kit;
    std::unique_ptr<input::TGMWindow> locator;
};

std::set<std::uint32_t> idSet(const QString& lines)
{
    std::set<std::uint32_t> ids;
    for (const QString& line : lines.split('\n', Qt::SkipEmptyParts))
        ids.insert(line.toUInt());
    return ids;
}

}  // namespace

TEST_F(X11, FindhandleFindsWhatXdotoolFindsByClassTopFirstWithoutOwnedPopups)
{
    Client first(display, "xmessage", {"-name", "probeA", "first"});
    const auto a = first.waitWindow({"--classname", "probeA"});
    Client second(display, "xmessage", {"-name", "probeB", "second"});
    const auto b = second.waitWindow({"--classname", "probeB"});
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    const auto popup = made->create("popup", "Xmessage", 0, a);

    std::set<std::uint32_t> expected = idSet(xdotool(display, {"search", "--class", "xmessage"}));
    ASSERT_TRUE(expected.count(popup));
    expected.erase(popup);
    const input::arhandle found = locator->FindHandles("", "xmessage");
    EXPECT_EQ(std::set<std::uint32_t>(found.begin(), found.end()), expected);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], b);  // started last, so on top
    EXPECT_EQ(desktop->windows().parent(popup), a);

    EXPECT_EQ(ask("findhandle", ",XMESSAGE,"), h(b));
    EXPECT_EQ(ask("findhandle", ",xmessage,1,0"), h(a));
    EXPECT_EQ(ask("findhandle", ",xmessage,2,0"), "-1");
    EXPECT_EQ(ask("findhandle", ",no-such-class,"), "0");
}

TEST_F(X11, GethtxtAndSethtxtReadAndChangeARealWindowsTitle)
{
    Client client(display, "xmessage", {"-name", "probeT", "-title", "Hello probe", "text"});
    const auto w = client.waitWindow({"--classname", "probeT"});
    ASSERT_NE(w, 0u);
    EXPECT_EQ(ask("gethtxt", "," + h(w) + ","), "Hello probe");
    EXPECT_EQ(xdotool(display, {"getwindowname", h(w)}), "Hello probe");

    run("sethtxt", h(w) + ",Renamed by a script");
    EXPECT_EQ(xdotool(display, {"getwindowname", h(w)}), "Renamed by a script");
    EXPECT_EQ(ask("gethtxt", "," + h(w) + ",old"), "Renamed by a script");

    const QString unicode = QString::fromUtf8("标题 ü");
    run("sethtxt", h(w) + "," + unicode);
    EXPECT_EQ(ask("gethtxt", "," + h(w) + ","), unicode);
    run("sethtxt", h(w) + "," + QString(300, 'y'));
    EXPECT_EQ(ask("gethtxt", "," + h(w) + ","), QString(255, 'y'));
}

TEST_F(X11, ChildrenAndOwnedPopupsFollowTheWindowTree)
{
    const auto p = made->create("probe frame", "ProbeFrame");
    const auto c1 = made->create("", "ProbeButton", p);
    const auto c2 = made->create("", "ProbeEdit", p);
    const auto c3 = made->create("", "ProbeButton", p);
    const auto grand = made->create("", "ProbeLabel", c2);
    const auto popup = made->create("probe popup", "ProbeFrame", 0, p);

    EXPECT_EQ(ask("findhandle", ",probeframe,"), h(p));
    EXPECT_EQ(ask("findhandle", ",probeframe,1,0"), "-1");  // the pop-up is skipped
    // Children are listed top first: the last one created is on top.
    EXPECT_EQ(locator->FindChildren(p, "", "probebutton"), (input::arhandle{c3, c1}));
    EXPECT_EQ(ask("findchild", "," + h(p) + ",probebutton,1,0"), h(c1));
    EXPECT_EQ(locator->FindChildren(p, "", "probelabel"), (input::arhandle{0}));
    EXPECT_EQ(locator->FindChildWindow(p, "", "probelabel"), grand);
    EXPECT_EQ(desktop->windows().parent(c2), p);
    EXPECT_EQ(desktop->windows().parent(grand), c2);
    EXPECT_EQ(desktop->windows().parent(popup), p);
    EXPECT_EQ(desktop->windows().parent(p), 0u);
    EXPECT_EQ(desktop->windows().className(c2), "ProbeEdit");
}

TEST_F(X11, BadWindowHandlesFailQuietly)
{
    for (const QString& bad : {h(kNoSuchWindow), QString("-1"), QString("0")}) {
        EXPECT_EQ(ask("gethtxt", "," + bad + ","), "");
        EXPECT_EQ(ask("findchild", "," + bad + ",x,"), "0");
        run("sethtxt", bad + ",x");
        run("sethclick", bad);
    }
    EXPECT_FALSE(locator->ActivateWindow(kNoSuchWindow));
    EXPECT_FALSE(desktop->windows().frameRect(kNoSuchWindow).has_value());
    EXPECT_EQ(desktop->windows().parent(kNoSuchWindow), 0u);
    // The connection still works afterwards.
    const auto w = made->create("still fine", "ProbeAfterErrors");
    EXPECT_EQ(ask("findhandle", ",probeaftererrors,"), h(w));
}

TEST_F(X11, KeyCommandsArriveAsRealKeyEvents)
{
    run("kdown", "a");
    run("kdown", "L_SHIFT");
    run("kdown", "left");
    EXPECT_TRUE(keyDown(0x41));
    EXPECT_TRUE(keyDown(0xA0));
    EXPECT_TRUE(keyDown(0x10));  // generic SHIFT follows either hand
    EXPECT_TRUE(keyDown(0x25));
    run("kup", "a");
    run("kup", "l_shift");
    run("kup", "LEFT");
    EXPECT_FALSE(keyDown(0x41));
    EXPECT_FALSE(keyDown(0x10));
    EXPECT_FALSE(keyDown(0x25));

    // xev buffers its output when it is not a terminal.
    Client xev(display, "stdbuf", {"-oL", "xev", "-name", "xevprobe", "-event", "keyboard"});
    const auto w = xev.waitWindow({"--name", "xevprobe"});
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(locator->ActivateWindow(w));
    EXPECT_TRUE(waitFor([&] { return made->focus() == w; }));
    run("key", "q");
    run("key", "enter");
    run("key", "F5");
    run("key", "F13");  // not on this keyboard map: typed through a spare keycode
    EXPECT_TRUE(waitFor([&] {
        const QString out = xev.output();
        return out.contains("keysym 0x71, q") && out.contains("Return") && out.contains("F5)")
               && out.contains("F13)");
    })) << xev.output().toStdString();
    run("kdown", "F24");
    EXPECT_TRUE(keyDown(0x87));
    run("kup", "F24");
    EXPECT_FALSE(keyDown(0x87));
}

TEST_F(X11, MouseCommandsPressButtonsAtThePointer)
{
    // Over a window of the test's own: on the root a window manager answers
    // buttons itself (openbox opens its menu on a right press and keeps the
    // next click for closing it).
    const auto target = made->create("click target", "ProbeClick", 0, 0, 300, 300, 100, 100);
    // A window manager may keep the first click on an unfocused window for
    // itself (click to focus): the window is focused first, as a user's is.
    ASSERT_TRUE(locator->ActivateWindow(target));
    EXPECT_TRUE(waitFor([&] { return made->focus() == target; }));
    made->warpPointer(350, 350);

    // A window manager's click-to-focus grab holds the pointer's events
    // until it lets them through, so the button state follows a moment later.
    run("mouse", "ldown");
    EXPECT_TRUE(waitFor([&] { return keyDown(0x01); }));
    run("mouse", "lup");
    EXPECT_TRUE(waitFor([&] { return !keyDown(0x01); }));
    EXPECT_EQ(made->waitButtonPress(target, 2000), 1);
    run("mouse", "rdown");
    EXPECT_TRUE(waitFor([&] { return keyDown(0x02); }));
    run("mouse", "rup");
    EXPECT_TRUE(waitFor([&] { return !keyDown(0x02); }));
    EXPECT_EQ(made->waitButtonPress(target, 2000), 3);

    run("mouse", "lclick");
    EXPECT_EQ(made->waitButtonPress(target, 2000), 1);
    run("mouse", "rclick");
    EXPECT_EQ(made->waitButtonPress(target, 2000), 3);
    run("mouse", "LCLICK");
    EXPECT_EQ(made->waitButtonPress(target, 200), 0);
}

TEST_F(X11, SethclickClicksTheMiddleOfTheWindowAndPutsThePointerBack)
{
    const auto button = made->create("button", "ProbeButton", 0, 0, 600, 100, 80, 40);
    made->warpPointer(10, 10);
    run("sethclick", h(button));
    EXPECT_EQ(made->waitButtonPress(button, 2000), 1);
    int x = -1, y = -1;
    made->pointer(x, y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 10);
}

TEST_F(X11, ActivateWindowRaisesAndFocusesIt)
{
    const auto lower = made->create("lower", "ProbeRaise", 0, 0, 400, 400, 200, 200);
    const auto upper = made->create("upper", "ProbeRaise", 0, 0, 450, 450, 200, 200);
    EXPECT_EQ(locator->FindHandles("", "proberaise"), (input::arhandle{upper, lower}));
    ASSERT_TRUE(locator->ActivateWindow(lower));
    // With a window manager the request is asynchronous; without one it is not.
    EXPECT_TRUE(waitFor([&] {
        return locator->FindHandles("", "proberaise") == input::arhandle{lower, upper};
    }));
    EXPECT_TRUE(waitFor([&] { return made->focus() == lower; }));
}

TEST_F(X11, ClassnameMeasuresTheTrackedWindow)
{
    const auto w = made->create("geometry", "ProbeGeometry", 0, 0, 100, 60, 200, 100);
    locator->setClassname("ProbeGeometry");
    EXPECT_EQ(locator->Handle(), w);
    const platform::Rect outer = locator->WindowRect();
    const platform::Rect client = locator->ClientRect();
    EXPECT_LE(outer.left, 100);
    EXPECT_LE(outer.top, 60);
    EXPECT_GE(outer.right, 300);
    EXPECT_GE(outer.bottom, 160);
    // A window manager's frame puts the client below its title bar.
    int x = 0, y = 0;
    made->origin(w, x, y);
    EXPECT_GE(x, 100);
    EXPECT_GE(y, 60);
    EXPECT_EQ(client.left, x);
    EXPECT_EQ(client.top, y);
    EXPECT_EQ(locator->HBorder(), x - outer.left);
    EXPECT_EQ(locator->TitleHeight(), y - outer.top);
}

TEST_F(X11, SearchesAndKeysFromSeveralThreadsDoNotInterfere)
{
    std::vector<std::uint32_t> handles;
    for (int i = 0; i < 4; ++i)
        handles.push_back(made->create(QString(), QStringLiteral("ProbeThread%1").arg(i)));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < 40; ++n) {
                const QString cls = QStringLiteral("probethread%1").arg(t);
                if (locator->FindHandles("", cls) != input::arhandle{handles[t]})
                    ++wrong;
                QString text = "," + cls + ",";
                QString error;
                if (!kit->bridge().query("findhandle", text, &error) || text != h(handles[t]))
                    ++wrong;
                kit->bridge().command("key", "r_shift");
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(X11, HotKeysAreDeliveredWithAnyLockState)
{
    std::atomic<int> presses{0};
    desktop->hotKeys().setCallback([&](int id) {
        if (id == 7)
            ++presses;
    });
    ASSERT_TRUE(desktop->hotKeys().grab(7, platform::kModControl, 0x78));  // Ctrl+F9
    run("kdown", "ctrl");
    run("key", "f9");
    run("kup", "ctrl");
    EXPECT_TRUE(waitFor([&] { return presses.load() == 1; }));
    run("key", "numlock");
    run("kdown", "ctrl");
    run("key", "f9");
    run("kup", "ctrl");
    run("key", "numlock");
    EXPECT_TRUE(waitFor([&] { return presses.load() == 2; }));
    run("key", "f9");  // without the modifier it is no hot key
    desktop->hotKeys().ungrab(7);
    run("kdown", "ctrl");
    run("key", "f9");
    run("kup", "ctrl");
    QThread::msleep(200);
    EXPECT_EQ(presses.load(), 2);
}
