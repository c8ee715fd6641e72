#include "input/ZenKeybd.h"
#include "platform/Desktop.h"
#include "platform/x11/X11Connection.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillon;

// The codes of the key-name table that no X11 keysym stands for; the README
// lists them, so a change here must change the list there.
TEST(X11KeyMap, EveryTableCodeHasAKeysymExceptTheListedOnes)
{
    const std::set<int> withoutCounterpart = {
        0x01, 0x02, 0x04, 0x2A, 0xDF, 0xE0, 0xE1, 0xE3, 0xE4, 0xE6, 0xE9, 0xEA, 0xEB,
        0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xFB, 0xFC, 0xFE};
    std::set<int> missing;
    const input::TZenKeybd keybd;
    for (const auto& key : keybd.Keys())
        if (platform::x11::keysymForVirtualKey(key.code) == 0)
            missing.insert(key.code);
    EXPECT_EQ(missing, withoutCounterpart);
    EXPECT_EQ(platform::x11::keysymForVirtualKey(0), 0u);
    EXPECT_EQ(platform::x11::keysymForVirtualKey(0x5C), 0u);  // not in the table
}

TEST(X11Backend, WithoutADisplayOpeningFailsWithTheNoDisplayError)
{
    QString error;
    EXPECT_EQ(platform::openX11Desktop(QStringLiteral(":59999"), &error), nullptr);
    EXPECT_EQ(error, "no X11 display is available");
}
