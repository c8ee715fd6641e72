#include "base/Text.h"
#include "input/ZenKeybd.h"
#include "input/ZeMouse.h"
#include "platform/sim/SimDesktop.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <set>

using namespace quillon;
using platform::SimEvent;

namespace {

struct ExpectedKey {
    const char* name;
    int code;
};

// The whole table in order, written out independently of the built-in text.
const ExpectedKey kExpected[] = {
    {"LBUTTON", 0x01},
    {"RBUTTON", 0x02},
    {"CANCEL", 0x03},
    {"MBUTTON", 0x04},
    {"BACK", 0x08},
    {"TAB", 0x09},
    {"CLEAR", 0x0C},
    {"ENTER", 0x0D},
    {"SHIFT", 0x10},
    {"CTRL", 0x11},
    {"ALT", 0x12},
    {"L_SHIFT", 0xA0},
    {"R_SHIFT", 0xA1},
    {"L_CTRL", 0xA2},
    {"R_CTRL", 0xA3},
    {"L_ALT", 0xA4},
    {"R_ALT", 0xA5},
    {"PAUSE", 0x13},
    {"CAPS", 0x14},
    {"ESC", 0x1B},
    {"SPACE", 0x20},
    {"PRIOR", 0x21},
    {"NEXT", 0x22},
    {"END", 0x23},
    {"HOME", 0x24},
    {"LEFT", 0x25},
    {"UP", 0x26},
    {"RIGHT", 0x27},
    {"DOWN", 0x28},
    {"Select", 0x29},
    {"PRINT", 0x2A},
    {"EXECUTE", 0x2B},
    {"SNAPSHOT", 0x2C},
    {"Insert", 0x2D},
    {"Delete", 0x2E},
    {"HELP", 0x2F},
    {"0", 0x30},
    {"1", 0x31},
    {"2", 0x32},
    {"3", 0x33},
    {"4", 0x34},
    {"5", 0x35},
    {"6", 0x36},
    {"7", 0x37},
    {"8", 0x38},
    {"9", 0x39},
    {"A", 0x41},
    {"B", 0x42},
    {"C", 0x43},
    {"D", 0x44},
    {"E", 0x45},
    {"F", 0x46},
    {"G", 0x47},
    {"H", 0x48},
    {"I", 0x49},
    {"J", 0x4A},
    {"K", 0x4B},
    {"L", 0x4C},
    {"M", 0x4D},
    {"N", 0x4E},
    {"O", 0x4F},
    {"P", 0x50},
    {"Q", 0x51},
    {"R", 0x52},
    {"S", 0x53},
    {"T", 0x54},
    {"U", 0x55},
    {"V", 0x56},
    {"W", 0x57},
    {"X", 0x58},
    {"Y", 0x59},
    {"Z", 0x5A},
    {"a", 0x41},
    {"b", 0x42},
    {"c", 0x43},
    {"d", 0x44},
    {"e", 0x45},
    {"f", 0x46},
    {"g", 0x47},
    {"h", 0x48},
    {"i", 0x49},
    {"j", 0x4A},
    {"k", 0x4B},
    {"l", 0x4C},
    {"m", 0x4D},
    {"n", 0x4E},
    {"o", 0x4F},
    {"p", 0x50},
    {"q", 0x51},
    {"r", 0x52},
    {"s", 0x53},
    {"t", 0x54},
    {"u", 0x55},
    {"v", 0x56},
    {"w", 0x57},
    {"x", 0x58},
    {"y", 0x59},
    {"z", 0x5A},
    {"STARTKEY", 0x5B},
    {"CONTEXTKEY", 0x5D},
    {"NUMPAD0", 0x60},
    {"NUMPAD1", 0x61},
    {"NUMPAD2", 0x62},
    {"NUMPAD3", 0x63},
    {"NUMPAD4", 0x64},
    {"NUMPAD5", 0x65},
    {"NUMPAD6", 0x66},
    {"NUMPAD7", 0x67},
    {"NUMPAD8", 0x68},
    {"NUMPAD9", 0x69},
    {"MULTIPLY", 0x6A},
    {"ADD", 0x6B},
    {"SEPARATOR", 0x6C},
    {"SUBTRACT", 0x6D},
    {"DECIMAL", 0x6E},
    {"DIVIDE", 0x6F},
    {"F1", 0x70},
    {"F2", 0x71},
    {"F3", 0x72},
    {"F4", 0x73},
    {"F5", 0x74},
    {"F6", 0x75},
    {"F7", 0x76},
    {"F8", 0x77},
    {"F9", 0x78},
    {"F10", 0x79},
    {"F11", 0x7A},
    {"F12", 0x7B},
    {"F13", 0x7C},
    {"F14", 0x7D},
    {"F15", 0x7E},
    {"F16", 0x7F},
    {"F17", 0x80},
    {"F18", 0x81},
    {"F19", 0x82},
    {"F20", 0x83},
    {"F21", 0x84},
    {"F22", 0x85},
    {"F23", 0x86},
    {"F24", 0x87},
    {"NUMLOCK", 0x90},
    {"OEM_SCROLL", 0x91},
    {";", 0xBA},
    {"EQ", 0xBB},
    {",", 0xBC},
    {"-", 0xBD},
    {".", 0xBE},
    {"/", 0xBF},
    {"`", 0xC0},
    {"[", 0xDB},
    {"\\", 0xDC},
    {"]", 0xDD},
    {"'", 0xDE},
    {"OEM_8", 0xDF},
    {"ICO_F17", 0xE0},
    {"ICO_F18", 0xE1},
    {"OEM102", 0xE2},
    {"ICO_HELP", 0xE3},
    {"ICO_00", 0xE4},
    {"ICO_CLEAR", 0xE6},
    {"OEM_RESET", 0xE9},
    {"OEM_JUMP", 0xEA},
    {"OEM_PA1", 0xEB},
    {"OEM_PA2", 0xEC},
    {"OEM_PA3", 0xED},
    {"OEM_WSCTRL", 0xEE},
    {"OEM_CUSEL", 0xEF},
    {"OEM_ATTN", 0xF0},
    {"OEM_FINNISH", 0xF1},
    {"OEM_COPY", 0xF2},
    {"OEM_AUTO", 0xF3},
    {"OEM_ENLW", 0xF4},
    {"OEM_BACKTAB", 0xF5},
    {"ATTN", 0xF6},
    {"CRSEL", 0xF7},
    {"EXSEL", 0xF8},
    {"EREOF", 0xF9},
    {"PLAY", 0xFA},
    {"ZOOM", 0xFB},
    {"NONAME", 0xFC},
    {"PA1", 0xFD},
    {"OEM_CLEAR", 0xFE},
};

std::vector<SimEvent> keyEvents(const platform::SimDesktop& desktop)
{
    std::vector<SimEvent> keys;
    for (const SimEvent& e : desktop.events())
        if (e.kind == SimEvent::Kind::Key)
            keys.push_back(e);
    return keys;
}

}  // namespace

TEST(KeyNameTable, HoldsEveryEntryInOrderWithFlagsCleared)
{
    const input::TZenKeybd keybd;
    const input::TArKeyMap& keys = keybd.Keys();
    ASSERT_EQ(keys.size(), std::size(kExpected));
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].name, QString::fromLatin1(kExpected[i].name)) << "entry " << i + 1;
        EXPECT_EQ(keys[i].code, kExpected[i].code) << "entry " << i + 1;
        EXPECT_FALSE(keys[i].pressed);
    }
}

TEST(KeyNameTable, TextIsOneLinePerEntrySeparatedBySingleCarriageReturns)
{
    const QString text = input::TZenKeybd::keyMapText();
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
    const QStringList lines = text.split(QLatin1Char('\r'));
    ASSERT_EQ(lines.size(), 182);
    EXPECT_EQ(lines.first(), QStringLiteral("LBUTTON = $1;"));
    EXPECT_EQ(lines.last(), QStringLiteral("OEM_CLEAR = $FE;"));
    for (const QString& line : lines)
        EXPECT_TRUE(line.endsWith(QLatin1Char(';')) && line.contains(QLatin1String(" = $")))
            << line.toStdString();
}

TEST(KeyNameTable, CodesCoverExactlyTheDocumentedSet)
{
    const input::TZenKeybd keybd;
    std::set<int> codes;
    for (const auto& key : keybd.Keys())
        codes.insert(key.code);
    EXPECT_EQ(codes.size(), 156u);
    const std::set<int> absent = {0x05, 0x06, 0x07, 0x0A, 0x0B, 0x0E, 0x0F, 0x1C, 0x1D, 0x1E,
                                  0x1F, 0x5C, 0x5E, 0x5F, 0xE5, 0xE7, 0xE8, 0xFF};
    auto inRange = [](int c, int lo, int hi) { return c >= lo && c <= hi; };
    for (int code = 1; code <= 0xFF; ++code) {
        const bool missing = absent.count(code) || inRange(code, 0x15, 0x1A)
                             || inRange(code, 0x3A, 0x40) || inRange(code, 0x88, 0x8F)
                             || inRange(code, 0x92, 0x9F) || inRange(code, 0xA6, 0xB9)
                             || inRange(code, 0xC1, 0xDA);
        EXPECT_EQ(codes.count(code) == 0, missing) << "code " << code;
    }
    // Only the letters have two names; mixed case only for three names.
    for (const auto& key : keybd.Keys()) {
        const int count = static_cast<int>(std::count_if(
            keybd.Keys().begin(), keybd.Keys().end(),
            [&](const input::keymap& k) { return k.code == key.code; }));
        EXPECT_EQ(count, inRange(key.code, 0x41, 0x5A) ? 2 : 1) << key.name.toStdString();
        if (key.name.size() >= 2 && key.name != base::asciiUpper(key.name)) {
            EXPECT_TRUE(key.name == "Select" || key.name == "Insert" || key.name == "Delete");
        }
    }
}

TEST(KeyNameTable, LoadKeyMapAcceptsAnyLineEndAndSkipsBrokenLines)
{
    const input::TArKeyMap keys = input::TZenKeybd::LoadKeyMap(
        QStringLiteral("  A = $41;\r\nB=66;\nno equals sign\rC = $zz;\r\rD = $44;"));
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].name, "A");
    EXPECT_EQ(keys[0].code, 0x41);
    EXPECT_EQ(keys[1].name, "B");
    EXPECT_EQ(keys[1].code, 66);
    EXPECT_EQ(keys[2].code, 0x44);
}

TEST(KeyNameTable, LookupsAreExactAndTakeTheFirstEntry)
{
    const input::TZenKeybd keybd;
    const struct {
        const char* name;
        int code;
    } toCode[] = {{"a", 0x41}, {"A", 0x41}, {"enter", 0}, {"ENTER", 0x0D}, {"=", 0},
                  {"EQ", 0xBB}, {"Insert", 0x2D}, {"INSERT", 0}, {"\\", 0xDC}, {"", 0}};
    for (const auto& c : toCode)
        EXPECT_EQ(keybd.KeyToCode(QString::fromLatin1(c.name)), c.code) << c.name;
    EXPECT_EQ(keybd.CodeToName(0x41), "A");
    EXPECT_EQ(keybd.CodeToName(0x7A), "F11");
    EXPECT_EQ(keybd.CodeToName(7), "");
    EXPECT_EQ(keybd.CodeToName(0), "");
    EXPECT_EQ(keybd.CodeToName(0x1FF), "");
}

TEST(KeyNameTable, KeyOperationsUpperCaseLongNamesOnly)
{
    const input::TZenKeybd keybd;
    const struct {
        QString name;
        int code;
    } cases[] = {{"enter", 0x0D}, {"Enter", 0x0D}, {"ENTER", 0x0D}, {"a", 0x41},
                 {"A", 0x41},     {"f11", 0x7A},   {"left", 0x25},  {"Select", 0x29},
                 {"insert", 0x2D}, {"DELETE", 0x2E}, {"nosuchkey", 0}, {"", 0},
                 {QString::fromUtf8("中文"), 0}, {"eq", 0xBB}};
    for (const auto& c : cases)
        EXPECT_EQ(keybd.ResolveName(c.name), c.code) << c.name.toStdString();
}

TEST(KeyboardSimulation, OnlyArrowKeysCarryTheExtendedFlag)
{
    platform::SimDesktop desktop;
    input::TZenKeybd keybd(desktop.keyboard());
    const input::TArKeyMap table = keybd.Keys();
    for (const auto& key : table) {
        desktop.clearEvents();
        ASSERT_TRUE(keybd.KeyDown(key.name));
        ASSERT_TRUE(keybd.KeyUp(key.name));
        const auto events = keyEvents(desktop);
        ASSERT_EQ(events.size(), 2u);
        const int code = keybd.ResolveName(key.name);
        const bool arrow = code >= 0x25 && code <= 0x28;
        EXPECT_EQ(events[0].code, code);
        EXPECT_EQ(events[0].scan, desktop.scanCode(code));
        EXPECT_EQ(events[0].flags, arrow ? 1 : 0) << key.name.toStdString();
        EXPECT_EQ(events[1].flags, arrow ? 3 : 2) << key.name.toStdString();
    }
    desktop.clearEvents();
    keybd.KeyDown("nosuchkey");  // unknown names still press virtual key 0
    ASSERT_EQ(keyEvents(desktop).size(), 1u);
    EXPECT_EQ(keyEvents(desktop)[0].code, 0);
}

TEST(KeyboardSimulation, KeyPressPausesTwentyMillisecondsBetweenDownAndUp)
{
    platform::SimDesktop desktop;
    input::TZenKeybd keybd(desktop.keyboard());
    ASSERT_TRUE(keybd.KeyPress("F11"));
    const auto events = keyEvents(desktop);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, 0x7A);
    EXPECT_EQ(events[0].flags, 0);
    EXPECT_EQ(events[1].code, 0x7A);
    EXPECT_EQ(events[1].flags, 2);
    EXPECT_GE(events[1].at - events[0].at, std::chrono::milliseconds(20));
}

TEST(KeyboardSimulation, WithoutDesktopOperationsFailWithTheNoDisplayError)
{
    input::TZenKeybd keybd;
    for (const auto& result : {keybd.KeyDown("A"), keybd.KeyUp("A"), keybd.KeyPress("A")}) {
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.error(), "no X11 display is available");
    }
    EXPECT_EQ(keybd.KeyToCode("A"), 0x41);  // the table works without a desktop
    input::TZeMouse mouse;
    EXPECT_EQ(mouse.LeftClick().error(), "no X11 display is available");
}

TEST(MouseSimulation, EachOperationSendsItsButtonFlags)
{
    const struct {
        platform::Result (input::TZeMouse::*op)();
        std::vector<int> flags;
    } cases[] = {{&input::TZeMouse::LeftDown, {2}},   {&input::TZeMouse::LeftUp, {4}},
                 {&input::TZeMouse::RightDown, {8}},  {&input::TZeMouse::RightUp, {16}},
                 {&input::TZeMouse::LeftClick, {2, 4}}, {&input::TZeMouse::RightClick, {8, 16}}};
    for (const auto& c : cases) {
        platform::SimDesktop desktop;
        input::TZeMouse mouse(desktop.mouse());
        EXPECT_TRUE((mouse.*c.op)());
        const auto events = desktop.events();
        std::vector<int> flags;
        for (const auto& e : events)
            flags.push_back(e.code);
        EXPECT_EQ(flags, c.flags);
        if (events.size() == 2) {
            EXPECT_GE(events[1].at - events[0].at, std::chrono::milliseconds(100));
        }
    }
    input::TZeMouse none;
    EXPECT_FALSE(none.LeftClick());
}
