// TZenDxInput's polls over the simulated desktop: edge detection over the
// key-name table, the events and their order.
#include "input/ZenDxInput.h"
#include "platform/sim/SimDesktop.h"

#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

using namespace quillon;

namespace {

class TriggerInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        input.OnKeyDonw = [this](int key, const QString& name) {
            log << QStringLiteral("down %1 %2").arg(key).arg(name);
        };
        input.OnKeyUp = [this](int key, const QString& name) {
            log << QStringLiteral("up %1 %2").arg(key).arg(name);
        };
    }
    void activateForm(bool active)
    {
        QEvent event(active ? QEvent::WindowActivate : QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&form, &event);
    }
    QStringList take()
    {
        QStringList taken = log;
        log.clear();
        return taken;
    }

    QObject form;
    platform::SimDesktop desktop;
    input::TZenDxInput input{&form, desktop};
    QStringList log;
};

}  // namespace

TEST_F(TriggerInput, AHeldKeyRaisesOnePressAndOneRelease)
{
    desktop.setKeyDown(0x70, true);
    input.Poll();
    input.Poll();
    input.Poll();
    EXPECT_EQ(take(), QStringList{"down 112 F1"});
    desktop.setKeyDown(0x70, false);
    input.Poll();
    input.Poll();
    EXPECT_EQ(take(), QStringList{"up 112 F1"});
}

TEST_F(TriggerInput, EveryNameOfACodeRaisesItsOwnEventsInTableOrder)
{
    desktop.setKeyDown(0x41, true);
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"down 65 A", "down 65 a"}));
    desktop.setKeyDown(0x41, false);
    desktop.setKeyDown(0x10, true);  // the right Shift, as the desktop reports it
    desktop.setKeyDown(0xA1, true);
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"down 16 SHIFT", "down 161 R_SHIFT", "up 65 A", "up 65 a"}));
}

TEST_F(TriggerInput, FlagsChangeBeforeTheHandlerRunsAndWithoutHandlers)
{
    bool flagSeen = false;
    input.OnKeyDonw = [&](int, const QString& name) {
        for (const auto& key : input.KeyTable())
            if (key.name == name)
                flagSeen = key.pressed;
    };
    desktop.setKeyDown(0x71, true);
    input.Poll();
    EXPECT_TRUE(flagSeen);
    input.OnKeyDonw = nullptr;
    input.OnKeyUp = nullptr;
    desktop.setKeyDown(0x72, true);
    input.Poll();
    auto pressed = [&](const char* name) {
        for (const auto& key : input.KeyTable())
            if (key.name == name)
                return key.pressed;
        return false;
    };
    EXPECT_TRUE(pressed("F3"));
    desktop.setKeyDown(0x72, false);
    input.Poll();
    EXPECT_FALSE(pressed("F3"));
}

TEST_F(TriggerInput, AnExitRequestSuppressesThePollAndTheEdgeComesLater)
{
    bool exitNow = true;
    int moves = 0;
    input.OnDxInput = [&](bool& rtExit) { rtExit = exitNow; };
    input.OnMouseMove = [&](int, int) { ++moves; };
    desktop.setKeyDown(0x74, true);
    input.Poll();
    EXPECT_TRUE(take().isEmpty());
    EXPECT_EQ(moves, 0);
    exitNow = false;
    input.Poll();
    EXPECT_EQ(take(), QStringList{"down 116 F5"});
    EXPECT_EQ(moves, 1);
}

TEST_F(TriggerInput, AQuickTapBetweenPollsRaisesPressThenRelease)
{
    input.Poll();
    desktop.tapKey(0x70);
    input.Poll();
    EXPECT_EQ(take(), QStringList{"down 112 F1"});
    input.Poll();
    EXPECT_EQ(take(), QStringList{"up 112 F1"});
}

TEST_F(TriggerInput, AReleaseAndNewPressBetweenPollsRaiseReleaseThenPress)
{
    desktop.setKeyDown(0x41, true);
    input.Poll();
    take();
    // Up and down again before the next poll: each name of the code raises
    // its release, then its press, in table order.
    desktop.setKeyDown(0x41, false);
    desktop.setKeyDown(0x41, true);
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"up 65 A", "down 65 A", "up 65 a", "down 65 a"}));
    input.Poll();
    EXPECT_TRUE(take().isEmpty());
    // Up, down and up again: the new press is raised, its release comes
    // with the next poll.
    desktop.setKeyDown(0x41, false);
    desktop.setKeyDown(0x41, true);
    desktop.setKeyDown(0x41, false);
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"up 65 A", "down 65 A", "up 65 a", "down 65 a"}));
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"up 65 A", "up 65 a"}));
    // A tap, then a press before the poll that would report the tap's release.
    desktop.tapKey(0x70);
    input.Poll();
    EXPECT_EQ(take(), QStringList{"down 112 F1"});
    desktop.setKeyDown(0x70, true);
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"up 112 F1", "down 112 F1"}));
    input.Poll();
    EXPECT_TRUE(take().isEmpty());
}

TEST_F(TriggerInput, ANestedPollDuringTheReleaseRaisesTheNewPressOnce)
{
    desktop.setKeyDown(0x70, true);
    input.Poll();
    take();
    bool nested = false;
    input.OnKeyUp = [&](int key, const QString& name) {
        log << QStringLiteral("up %1 %2").arg(key).arg(name);
        if (!nested) {
            nested = true;
            input.Poll();
        }
    };
    desktop.setKeyDown(0x70, false);
    desktop.setKeyDown(0x70, true);
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"up 112 F1", "down 112 F1"}));
}

TEST_F(TriggerInput, TheGenericModifierIsReleasedOnlyWhenNoHandsKeyStayedDown)
{
    // The desktop shows the generic Shift down with either hand's key and
    // reports events only for the hand's keys.
    desktop.setKeyDown(0xA0, true);
    desktop.setKeyDown(0x10, true);
    desktop.setKeyDown(0xA1, true);
    input.Poll();
    take();
    desktop.setKeyDown(0xA1, false);
    desktop.setKeyDown(0xA1, true);
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"up 161 R_SHIFT", "down 161 R_SHIFT"}));
    desktop.setKeyDown(0xA1, false);
    input.Poll();
    take();
    desktop.setKeyDown(0xA0, false);
    desktop.setKeyDown(0xA0, true);
    input.Poll();
    EXPECT_EQ(take(), (QStringList{"up 16 SHIFT", "down 16 SHIFT", "up 160 L_SHIFT", "down 160 L_SHIFT"}));
}

TEST_F(TriggerInput, WithoutKeyEventsTheDesktopIsStillPolled)
{
    platform::SimDesktop quiet;
    quiet.setKeyEventsAvailable(false);
    input::TZenDxInput plain(&form, quiet);
    int downs = 0;
    plain.OnKeyDonw = [&](int, const QString&) { ++downs; };
    quiet.tapKey(0x70);  // unseen: nothing reports taps
    plain.Poll();
    EXPECT_EQ(downs, 0);
    quiet.setKeyDown(0x70, true);
    plain.Poll();
    EXPECT_EQ(downs, 1);
}

// Polls may slow down only where key events wake them and nothing else
// read in a poll changes without one.
TEST_F(TriggerInput, SlowPacingIsAllowedOnlyWhereKeyEventsWakeThePolls)
{
    input.Poll();
    EXPECT_TRUE(input.AllowsSlowPacing());
    input.setEventWake(false);
    EXPECT_FALSE(input.AllowsSlowPacing());
    input.setEventWake(true);
    EXPECT_TRUE(input.AllowsSlowPacing());
    input.setMainFormOnly(true);
    input.Poll();
    EXPECT_FALSE(input.AllowsSlowPacing());
    input.setMainFormOnly(false);
    input.OnMouseMove = [](int, int) {};
    input.Poll();
    EXPECT_FALSE(input.AllowsSlowPacing());
    input.OnMouseMove = nullptr;
    input.Mouse().setEnabled(true);
    input.Poll();
    EXPECT_FALSE(input.AllowsSlowPacing());

    platform::SimDesktop quiet;
    quiet.setKeyEventsAvailable(false);
    input::TZenDxInput plain(&form, quiet);
    plain.Poll();
    EXPECT_FALSE(plain.AllowsSlowPacing());
}

TEST_F(TriggerInput, MainFormOnlyReadsKeysOnlyWhileTheFormIsInFront)
{
    input.setMainFormOnly(true);
    desktop.setKeyDown(0x70, true);
    input.Poll();
    EXPECT_TRUE(take().isEmpty());
    activateForm(true);
    input.Poll();
    EXPECT_EQ(take(), QStringList{"down 112 F1"});
    activateForm(false);
    input.Poll();
    EXPECT_EQ(take(), QStringList{"up 112 F1"});  // not read: up as far as it knows
}

TEST_F(TriggerInput, MouseButtonsRaiseEventsAtTheCursorOnceTheMouseIsEnabled)
{
    QStringList mouse;
    input.OnMouseDown = [&](int b, int x, int y) { mouse << QStringLiteral("down %1 %2,%3").arg(b).arg(x).arg(y); };
    input.OnMouseUp = [&](int b, int x, int y) { mouse << QStringLiteral("up %1 %2,%3").arg(b).arg(x).arg(y); };
    desktop.setCursor({30, 40});
    desktop.setKeyDown(0x02, true);  // right button
    input.Poll();
    EXPECT_TRUE(mouse.isEmpty());  // the mouse device is off
    input.Mouse().setEnabled(true);
    input.Poll();
    desktop.setKeyDown(0x02, false);
    input.Poll();
    EXPECT_EQ(mouse, (QStringList{"down 1 30,40", "up 1 30,40"}));
}
