#include "input/ZenKeybd.h"
#include "platform/Desktop.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyMap.h"

#include <map>
#include <vector>

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

// From Xlib; its header's macros (None, Bool) would clash with the test
// framework's names.
extern "C" unsigned long XStringToKeysym(const char* name);

namespace {

// The 105 keys of a PC keyboard with the US layout as the X server maps them
// (keycode, then the keysyms of its first two levels).
const std::vector<std::pair<unsigned, std::vector<const char*>>> kPc105Us = {
    {9, {"Escape"}},
    {10, {"1", "exclam"}},
    {11, {"2", "at"}},
    {12, {"3", "numbersign"}},
    {13, {"4", "dollar"}},
    {14, {"5", "percent"}},
    {15, {"6", "asciicircum"}},
    {16, {"7", "ampersand"}},
    {17, {"8", "asterisk"}},
    {18, {"9", "parenleft"}},
    {19, {"0", "parenright"}},
    {20, {"minus", "underscore"}},
    {21, {"equal", "plus"}},
    {22, {"BackSpace", "BackSpace"}},
    {23, {"Tab", "ISO_Left_Tab"}},
    {24, {"q", "Q"}},
    {25, {"w", "W"}},
    {26, {"e", "E"}},
    {27, {"r", "R"}},
    {28, {"t", "T"}},
    {29, {"y", "Y"}},
    {30, {"u", "U"}},
    {31, {"i", "I"}},
    {32, {"o", "O"}},
    {33, {"p", "P"}},
    {34, {"bracketleft", "braceleft"}},
    {35, {"bracketright", "braceright"}},
    {36, {"Return"}},
    {37, {"Control_L"}},
    {38, {"a", "A"}},
    {39, {"s", "S"}},
    {40, {"d", "D"}},
    {41, {"f", "F"}},
    {42, {"g", "G"}},
    {43, {"h", "H"}},
    {44, {"j", "J"}},
    {45, {"k", "K"}},
    {46, {"l", "L"}},
    {47, {"semicolon", "colon"}},
    {48, {"apostrophe", "quotedbl"}},
    {49, {"grave", "asciitilde"}},
    {50, {"Shift_L"}},
    {51, {"backslash", "bar"}},
    {52, {"z", "Z"}},
    {53, {"x", "X"}},
    {54, {"c", "C"}},
    {55, {"v", "V"}},
    {56, {"b", "B"}},
    {57, {"n", "N"}},
    {58, {"m", "M"}},
    {59, {"comma", "less"}},
    {60, {"period", "greater"}},
    {61, {"slash", "question"}},
    {62, {"Shift_R"}},
    {63, {"KP_Multiply", "KP_Multiply"}},
    {64, {"Alt_L", "Meta_L"}},
    {65, {"space"}},
    {66, {"Caps_Lock"}},
    {67, {"F1", "F1"}},
    {68, {"F2", "F2"}},
    {69, {"F3", "F3"}},
    {70, {"F4", "F4"}},
    {71, {"F5", "F5"}},
    {72, {"F6", "F6"}},
    {73, {"F7", "F7"}},
    {74, {"F8", "F8"}},
    {75, {"F9", "F9"}},
    {76, {"F10", "F10"}},
    {77, {"Num_Lock"}},
    {78, {"Scroll_Lock"}},
    {79, {"KP_Home", "KP_7"}},
    {80, {"KP_Up", "KP_8"}},
    {81, {"KP_Prior", "KP_9"}},
    {82, {"KP_Subtract", "KP_Subtract"}},
    {83, {"KP_Left", "KP_4"}},
    {84, {"KP_Begin", "KP_5"}},
    {85, {"KP_Right", "KP_6"}},
    {86, {"KP_Add", "KP_Add"}},
    {87, {"KP_End", "KP_1"}},
    {88, {"KP_Down", "KP_2"}},
    {89, {"KP_Next", "KP_3"}},
    {90, {"KP_Insert", "KP_0"}},
    {91, {"KP_Delete", "KP_Decimal"}},
    {94, {"less", "greater"}},
    {95, {"F11", "F11"}},
    {96, {"F12", "F12"}},
    {104, {"KP_Enter"}},
    {105, {"Control_R"}},
    {106, {"KP_Divide", "KP_Divide"}},
    {107, {"Print", "Sys_Req"}},
    {108, {"Alt_R", "Meta_R"}},
    {110, {"Home"}},
    {111, {"Up"}},
    {112, {"Prior"}},
    {113, {"Left"}},
    {114, {"Right"}},
    {115, {"End"}},
    {116, {"Down"}},
    {117, {"Next"}},
    {118, {"Insert"}},
    {119, {"Delete"}},
    {127, {"Pause", "Break"}},
    {133, {"Super_L"}},
    {134, {"Super_R"}},
    {135, {"Menu"}},
};

std::vector<platform::x11::XId> keysyms(const std::vector<const char*>& names)
{
    std::vector<platform::x11::XId> syms;
    for (const char* name : names)
        syms.push_back(XStringToKeysym(name));
    return syms;
}

}  // namespace

TEST(X11KeyMap, EveryKeyOfAPc105KeyboardReadsAsItsOwnCode)
{
    ASSERT_EQ(kPc105Us.size(), 105u);
    std::map<int, std::vector<unsigned>> keysOfCode;
    for (const auto& [keycode, names] : kPc105Us) {
        const int vk = platform::x11::virtualKeyForKey(keycode, keysyms(names));
        EXPECT_NE(vk, 0) << "keycode " << keycode;
        keysOfCode[vk].push_back(keycode);
    }
    for (const auto& [vk, keycodes] : keysOfCode) {
        // Both Enter keys are Enter, as virtual-key codes have it.
        if (vk == 0x0D)
            EXPECT_EQ(keycodes, (std::vector<unsigned>{36, 104}));
        else
            EXPECT_EQ(keycodes.size(), 1u) << "code " << vk << " from keycode " << keycodes[0]
                                           << " and " << keycodes.back();
    }
    const std::map<unsigned, int> expected = {
        {48, 0xDE}, {60, 0xBE}, {20, 0xBD}, {49, 0xC0}, {34, 0xDB}, {35, 0xDD}, {51, 0xDC},
        {47, 0xBA}, {21, 0xBB}, {59, 0xBC}, {61, 0xBF}, {94, 0xE2}, {114, 0x27}, {119, 0x2E},
        {50, 0xA0}, {62, 0xA1}, {37, 0xA2}, {105, 0xA3}, {64, 0xA4}, {108, 0xA5}, {133, 0x5B},
        {134, 0x5C}, {135, 0x5D}, {79, 0x67}, {91, 0x6E}, {38, 0x41}, {19, 0x30}, {107, 0x2C}};
    for (const auto& [keycode, vk] : expected) {
        const auto it = std::find_if(kPc105Us.begin(), kPc105Us.end(),
                                     [&](const auto& key) { return key.first == keycode; });
        ASSERT_NE(it, kPc105Us.end());
        EXPECT_EQ(platform::x11::virtualKeyForKey(keycode, keysyms(it->second)), vk)
            << "keycode " << keycode;
    }
    // Every one of them can be a trigger: the key-name table names it (the
    // right Windows key has a code but no name).
    const input::TZenKeybd names;
    for (const auto& [vk, keycodes] : keysOfCode)
        if (vk != 0x5C)
            EXPECT_FALSE(names.CodeToName(vk).isEmpty()) << "code " << vk;
}

TEST(X11KeyMap, KeysWhoseKeysymsHaveNoCodeReadByTheirPosition)
{
    using platform::x11::virtualKeyForKey;
    // A German keyboard: sharp s where minus is, dead acute where equals is.
    EXPECT_EQ(virtualKeyForKey(20, keysyms({"ssharp", "question"})), 0xBD);
    EXPECT_EQ(virtualKeyForKey(21, keysyms({"dead_acute", "dead_grave"})), 0xBB);
    // Letters follow the layout, not the position: the French A key.
    EXPECT_EQ(virtualKeyForKey(24, keysyms({"a", "A"})), 0x41);
    // A keycode that is no key of the keyboard and has no code stays silent.
    EXPECT_EQ(virtualKeyForKey(200, keysyms({"XF86Launch5"})), 0);
}
