// A held key released and pressed again between two polls, on a real X
// server: the server's key state shows it held throughout, only its raw key
// events tell of the release and the new press.
#include "TestWindows.h"

#include "input/ZenDxInput.h"
#include "platform/Desktop.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>

using namespace quillon;

namespace {

// Asked every 2 ms: the next key must follow what was heard within one poll.
bool waitFor(const std::function<bool()>& condition)
{
    return x11test::waitFor(condition, 3000, 2);
}

}  // namespace

TEST(X11KeyBounce, AReleaseAndNewPressBetweenPollsRaiseReleaseThenPress)
{
    const QString display = x11test::testDisplay();
    if (display.isEmpty())
        GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
    auto desktop = platform::openX11Desktop(display);
    ASSERT_TRUE(desktop);
    QObject window;
    input::TZenDxInput dx(&window, *desktop);
    dx.Loaded();
    ASSERT_TRUE(dx.Keyboard().Watching()) << "the server has no XInput2";
    QStringList events;
    dx.OnKeyDonw = [&](int, const QString& name) { events << "down " + name; };
    dx.OnKeyUp = [&](int, const QString& name) { events << "up " + name; };
    // A second watch hears each event after the component's own watch.
    std::atomic<int> heard{0};
    auto counter = desktop->keyEvents().watch([&] { ++heard; });
    ASSERT_TRUE(counter);
    auto send = [&](bool down) {
        const int before = heard.load();
        ASSERT_TRUE(desktop->keyboard().sendKey(0x7B, 0, down ? 0 : platform::kKeyUp));  // F12
        ASSERT_TRUE(waitFor([&] { return heard.load() > before; }));
    };

    dx.Poll();
    send(true);
    dx.Poll();
    EXPECT_EQ(events, QStringList{"down F12"});
    events.clear();
    send(false);
    send(true);
    dx.Poll();
    EXPECT_EQ(events, (QStringList{"up F12", "down F12"}));
    events.clear();
    dx.Poll();
    EXPECT_TRUE(events.isEmpty());
    send(false);
    dx.Poll();
    EXPECT_EQ(events, QStringList{"up F12"});
}
