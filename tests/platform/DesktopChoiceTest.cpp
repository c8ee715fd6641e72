#include "platform/Desktop.h"
#include "platform/UnavailableDesktop.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quillon;

namespace {

// Each case sets the environment the way a user would start the program.
class DesktopChoice : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("DISPLAY"); }
    void TearDown() override { unsetenv(platform::kDesktopVariable); }
};

}  // namespace

TEST_F(DesktopChoice, SimPicksTheSimulatedDesktopInAnyLetterCase)
{
    for (const char* value : {"sim", "SIM", " Sim "}) {
        setenv(platform::kDesktopVariable, value, 1);
        QString warning;
        auto desktop = platform::openDefaultDesktop(&warning);
        EXPECT_NE(dynamic_cast<platform::SimDesktop*>(desktop.get()), nullptr) << value;
        EXPECT_TRUE(warning.isEmpty());
    }
}

TEST_F(DesktopChoice, WithoutADisplayEveryOperationFailsWithTheNoDisplayError)
{
    auto desktop = platform::openDefaultDesktop();
    ASSERT_NE(desktop, nullptr);
    const QString noDisplay = QStringLiteral("no X11 display is available");
    EXPECT_EQ(desktop->keyboard().sendKey(0x41, 0, 0).error(), noDisplay);
    EXPECT_EQ(desktop->mouse().sendButtons(platform::kMouseLeftDown).error(), noDisplay);
    EXPECT_EQ(desktop->windows().status().error(), noDisplay);
    EXPECT_EQ(desktop->hotKeys().grab(1, 0, 0x70).error(), noDisplay);
    EXPECT_TRUE(desktop->windows().topLevelWindows().empty());
    platform::KeyState state;
    state.fill(0x80);
    EXPECT_FALSE(desktop->keyboard().readKeyState(state));
    EXPECT_EQ(state[0x41], 0);  // nothing reads as down
}

TEST_F(DesktopChoice, AnUnknownNameIsReportedAndTheDefaultIsUsed)
{
    setenv(platform::kDesktopVariable, "wayland", 1);
    QString warning;
    auto desktop = platform::openDefaultDesktop(&warning);
    EXPECT_EQ(warning, "QUILLON_DESKTOP=wayland names no desktop (use x11 or sim); using x11");
    EXPECT_NE(dynamic_cast<platform::UnavailableDesktop*>(desktop.get()), nullptr);
}
