#include "input/HeldInput.h"
#include "platform/sim/SimDesktop.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace quillon;
using platform::SimEvent;

namespace {

class Held : public ::testing::Test {
protected:
    // "+code" for a press, "-code" for a release; buttons as "L+", "R-".
    QStringList sent()
    {
        QStringList list;
        for (const auto& e : desktop.events()) {
            if (e.kind == SimEvent::Kind::Key)
                list << QStringLiteral("%1%2").arg(e.flags & platform::kKeyUp ? '-' : '+').arg(e.code);
            else if (e.kind == SimEvent::Kind::Mouse)
                list << (e.code == platform::kMouseLeftDown  ? "L+"
                         : e.code == platform::kMouseLeftUp  ? "L-"
                         : e.code == platform::kMouseRightDown ? "R+"
                                                               : "R-");
        }
        desktop.clearEvents();
        return list;
    }

    platform::SimDesktop desktop;
    input::TZenKeybd keybd{desktop.keyboard()};
    input::TZeMouse mouse{desktop.mouse()};
    input::HeldInput held{keybd, mouse};
    const int runA = 0;
    const int runB = 0;
};

}  // namespace

TEST_F(Held, AStoppedRunsKeysAndButtonsAreReleasedLastPressedFirst)
{
    held.KeyDown(&runA, "ctrl");
    held.LeftDown(&runA);
    held.KeyDown(&runA, "a");
    held.KeyDown(&runB, "shift");
    sent();
    held.ReleaseAll(&runA);
    EXPECT_EQ(sent(), (QStringList{"-65", "L-", "-17"}));
    EXPECT_FALSE(held.Holds(&runA));
    EXPECT_TRUE(held.Holds(&runB));  // another run keeps its keys
    held.ReleaseAll(&runA);
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(Held, AReleaseInAnyLetterCaseEndsTheHold)
{
    held.KeyDown(&runA, "Ctrl");
    held.KeyUp(&runA, "CTRL");
    held.RightDown(&runA);
    held.RightUp(&runA);
    held.KeyDown(&runA, "nosuchkey");  // code 0: nothing to release
    sent();
    held.ReleaseAll(&runA);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_FALSE(held.Holds(&runA));
}

TEST_F(Held, AKeyReleasedByAnotherRunIsUpForEveryone)
{
    held.KeyDown(&runA, "shift");
    held.KeyDown(&runB, "shift");
    held.KeyUp(&runB, "shift");
    sent();
    held.ReleaseAll(&runA);
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(Held, TheStopKeyReleasesEveryRunsHoldingsEachKeyOnce)
{
    held.KeyDown(&runA, "alt");
    held.KeyDown(&runB, "alt");
    held.RightDown(&runB);
    sent();
    held.ReleaseEverything();
    EXPECT_EQ(sent(), (QStringList{"R-", "-18"}));
    EXPECT_FALSE(held.Holds(&runA));
    EXPECT_FALSE(held.Holds(&runB));
}

