// TZenHotKey's list rules over the simulated desktop.
#include "input/ZenHotKey.h"
#include "platform/sim/SimDesktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace quillon;
using input::TZenHotKey;

namespace {

class HotKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        hotKey.OnHotKeyDown = [this](const QString& name, int id) {
            reported << QStringLiteral("%1:%2").arg(name).arg(id);
        };
    }
    // Presses arrive from the desktop's thread, through the event loop.
    void press(int modifiers, int vk)
    {
        desktop.pressHotKey(modifiers, vk);
        QCoreApplication::processEvents();
    }

    platform::SimDesktop desktop;
    TZenHotKey hotKey{desktop.hotKeys()};
    QStringList reported;
};

}  // namespace

TEST_F(HotKeys, TheSameNameTwiceIsListedTwiceWithOneIdAndRemovedWhole)
{
    hotKey.Add(0, 0x70, "F1");
    hotKey.Add(0, 0x70, "F1");
    ASSERT_EQ(hotKey.Registrations().size(), 2u);
    EXPECT_EQ(hotKey.Registrations()[0].id, hotKey.Registrations()[1].id);
    EXPECT_EQ(hotKey.Registrations()[0].id, TZenHotKey::AtomId("f1"));  // atoms ignore case
    press(0, 0x70);
    const QString once = QStringLiteral("F1:%1").arg(TZenHotKey::AtomId("F1"));
    EXPECT_EQ(reported, (QStringList{once, once}));
    hotKey.Remove("F1");
    EXPECT_TRUE(hotKey.Registrations().empty());
    EXPECT_TRUE(desktop.grabbedKeys().empty());
}

TEST_F(HotKeys, TwoNamesOnOneKeyAreBothReportedInListOrder)
{
    hotKey.Add(platform::kModControl, 0x41, "second");
    hotKey.Add(platform::kModControl, 0x41, "first");
    hotKey.Add(0, 0x41, "plain");
    EXPECT_EQ(desktop.grabbedKeys().size(), 2u);  // one grab per combination
    press(platform::kModControl, 0x41);
    ASSERT_EQ(reported.size(), 2);
    EXPECT_TRUE(reported[0].startsWith("second:"));
    EXPECT_TRUE(reported[1].startsWith("first:"));
    EXPECT_NE(TZenHotKey::AtomId("first"), TZenHotKey::AtomId("second"));
}

TEST_F(HotKeys, TheKeyStaysGrabbedUntilItsLastNameIsRemoved)
{
    hotKey.Add(0, 0x71, "one");
    hotKey.Add(0, 0x71, "two");
    hotKey.Remove("ONE");  // exact names only
    EXPECT_EQ(hotKey.Registrations().size(), 2u);
    hotKey.Remove("one");
    EXPECT_EQ(desktop.grabbedKeys().size(), 1u);
    press(0, 0x71);
    EXPECT_EQ(reported.size(), 1);
    hotKey.Remove("two");
    EXPECT_TRUE(desktop.grabbedKeys().empty());
    hotKey.Remove("never added");
    EXPECT_TRUE(hotKey.Registrations().empty());
}

TEST_F(HotKeys, ARefusedGrabStaysListedAndIsReported)
{
    QStringList refused;
    hotKey.OnGrabRefused = [&](const QString& name, int code, const QString& reason) {
        refused << QStringLiteral("%1 %2 %3").arg(name).arg(code).arg(reason);
    };
    desktop.holdForeignGrab(0, 0x7B);
    hotKey.Add(0, 0x7B, "F12");
    EXPECT_EQ(refused, QStringList{"F12 123 another program holds the key"});
    ASSERT_EQ(hotKey.Registrations().size(), 1u);
    EXPECT_EQ(hotKey.Registrations()[0].name, "F12");
    hotKey.Remove("F12");  // harmless
    EXPECT_TRUE(hotKey.Registrations().empty());
}

TEST(HotKeyLifetime, PressesOnTheirWayWhenTheComponentGoesAreDropped)
{
    platform::SimDesktop desktop;
    int reported = 0;
    {
        TZenHotKey hotKey(desktop.hotKeys());
        hotKey.OnHotKeyDown = [&](const QString&, int) { ++reported; };
        hotKey.Add(0, 0x72, "F3");
        desktop.pressHotKey(0, 0x72);  // queued, not yet delivered
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(reported, 0);
    EXPECT_TRUE(desktop.grabbedKeys().empty());  // the component let go of its keys
    desktop.pressHotKey(0, 0x72);
    QCoreApplication::processEvents();
    EXPECT_EQ(reported, 0);
}
