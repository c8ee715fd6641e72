#include "platform/x11/X11KeyMap.h"

#define XK_3270
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>

namespace quillon::platform::x11 {
namespace {

struct KeysymCode {
    KeySym keysym;
    int vk;
};

// Keysyms read with a code other than the one typing that code uses: each
// hand's modifier has its own code (the generic SHIFT, CTRL and ALT are
// worked out from them), AltGr is the right Alt, and the keypad's Enter is
// Enter, as on Windows.
constexpr KeysymCode kReadOverrides[] = {
    {XK_Shift_L, 0xA0},   {XK_Shift_R, 0xA1},   {XK_Control_L, 0xA2},
    {XK_Control_R, 0xA3}, {XK_Alt_L, 0xA4},     {XK_Alt_R, 0xA5},
    {XK_Meta_L, 0xA4},    {XK_Meta_R, 0xA5},    {XK_ISO_Level3_Shift, 0xA5},
    {XK_Super_R, 0x5C},   {XK_KP_Enter, 0x0D},  {XK_ISO_Left_Tab, 0x09},
};

// Keys of a 105-key PC keyboard by their evdev keycode, with the codes of
// their US labels: the fallback for keys whose keysyms have no code (the
// sharp s of a German map, for example), so every key still reads as itself.
constexpr std::pair<unsigned, int> kPositions[] = {
    {9, 0x1B},   {10, 0x31},  {11, 0x32},  {12, 0x33},  {13, 0x34},  {14, 0x35},
    {15, 0x36},  {16, 0x37},  {17, 0x38},  {18, 0x39},  {19, 0x30},  {20, 0xBD},
    {21, 0xBB},  {22, 0x08},  {23, 0x09},  {24, 0x51},  {25, 0x57},  {26, 0x45},
    {27, 0x52},  {28, 0x54},  {29, 0x59},  {30, 0x55},  {31, 0x49},  {32, 0x4F},
    {33, 0x50},  {34, 0xDB},  {35, 0xDD},  {36, 0x0D},  {37, 0xA2},  {38, 0x41},
    {39, 0x53},  {40, 0x44},  {41, 0x46},  {42, 0x47},  {43, 0x48},  {44, 0x4A},
    {45, 0x4B},  {46, 0x4C},  {47, 0xBA},  {48, 0xDE},  {49, 0xC0},  {50, 0xA0},
    {51, 0xDC},  {52, 0x5A},  {53, 0x58},  {54, 0x43},  {55, 0x56},  {56, 0x42},
    {57, 0x4E},  {58, 0x4D},  {59, 0xBC},  {60, 0xBE},  {61, 0xBF},  {62, 0xA1},
    {63, 0x6A},  {64, 0xA4},  {65, 0x20},  {66, 0x14},  {67, 0x70},  {68, 0x71},
    {69, 0x72},  {70, 0x73},  {71, 0x74},  {72, 0x75},  {73, 0x76},  {74, 0x77},
    {75, 0x78},  {76, 0x79},  {77, 0x90},  {78, 0x91},  {79, 0x67},  {80, 0x68},
    {81, 0x69},  {82, 0x6D},  {83, 0x64},  {84, 0x65},  {85, 0x66},  {86, 0x6B},
    {87, 0x61},  {88, 0x62},  {89, 0x63},  {90, 0x60},  {91, 0x6E},  {94, 0xE2},
    {95, 0x7A},  {96, 0x7B},  {104, 0x0D}, {105, 0xA3}, {106, 0x6F}, {107, 0x2C},
    {108, 0xA5}, {110, 0x24}, {111, 0x26}, {112, 0x21}, {113, 0x25}, {114, 0x27},
    {115, 0x23}, {116, 0x28}, {117, 0x22}, {118, 0x2D}, {119, 0x2E}, {127, 0x13},
    {133, 0x5B}, {134, 0x5C}, {135, 0x5D},
};

bool isGenericModifier(int vk)
{
    return vk == 0x10 || vk == 0x11 || vk == 0x12;
}

// NUMPAD0 to NUMPAD9 and DECIMAL: keys whose keypad keysym depends on NumLock.
bool typesOnlyWithNumLock(int vk)
{
    return (vk >= 0x60 && vk <= 0x69) || vk == 0x6E;
}

// The first keycode whose every keysym is `wanted`, so that no lock or
// shift state turns it into another key; 0 when the map has none.
unsigned soleKeycode(const std::vector<std::vector<XId>>& keysyms, int minKeycode, KeySym wanted)
{
    for (std::size_t i = 0; i < keysyms.size(); ++i) {
        const auto& list = keysyms[i];
        if (!list.empty() && std::all_of(list.begin(), list.end(), [&](XId s) { return s == wanted; }))
            return unsigned(minKeycode) + unsigned(i);
    }
    return 0;
}

}  // namespace

int virtualKeyForKeysym(XId keysym)
{
    if (keysym == NoSymbol)
        return 0;
    for (const auto& entry : kReadOverrides)
        if (entry.keysym == keysym)
            return entry.vk;
    if (keysym >= XK_A && keysym <= XK_Z)
        return 0x41 + int(keysym - XK_A);
    // The keypad's Home, End and arrows share their keys with its digits;
    // those keysyms are not the navigation keys, so they have no code here
    // and the digit decides.
    if (keysym >= XK_KP_Space && keysym <= XK_KP_Delete)
        return 0;
    // Built once: the keysym every code types, lowest code first.
    static const std::vector<std::pair<KeySym, int>> typed = [] {
        std::vector<std::pair<KeySym, int>> list;
        for (int vk = 1; vk < 256; ++vk)
            if (const KeySym sym = keysymForVirtualKey(vk); sym != NoSymbol && !isGenericModifier(vk))
                list.emplace_back(sym, vk);
        return list;
    }();
    for (const auto& [sym, vk] : typed)
        if (sym == keysym)
            return vk;
    return 0;
}

int virtualKeyForPosition(unsigned keycode)
{
    for (const auto& [code, vk] : kPositions)
        if (code == keycode)
            return vk;
    return 0;
}

int virtualKeyForKey(unsigned keycode, const std::vector<XId>& keysyms)
{
    for (XId keysym : keysyms)
        if (const int vk = virtualKeyForKeysym(keysym))
            return vk;
    return virtualKeyForPosition(keycode);
}

void KeyMap::load(Display* display)
{
    m_virtualKeys.fill(0);
    m_keycodes.fill(0);
    m_typingKeycodes.fill(0);
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display, &minKeycode, &maxKeycode);
    KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(minKeycode),
                                      maxKeycode - minKeycode + 1, &perKeycode);
    std::vector<std::vector<XId>> keysyms;
    for (int code = minKeycode; map && code <= maxKeycode; ++code) {
        const KeySym* syms = map + (code - minKeycode) * perKeycode;
        std::vector<XId> list;
        for (int level = 0; level < perKeycode; ++level)
            if (syms[level] != NoSymbol)
                list.push_back(syms[level]);
        // A key without keysyms is not on this keyboard; only keys that are
        // there fall back to their position.
        if (!list.empty() && code < 256)
            m_virtualKeys[std::size_t(code)] = virtualKeyForKey(unsigned(code), list);
        keysyms.push_back(std::move(list));
    }
    if (map)
        XFree(map);
    for (int vk = 1; vk < 256; ++vk) {
        const KeySym sym = keysymForVirtualKey(vk);
        if (!sym)
            continue;
        m_keycodes[std::size_t(vk)] = XKeysymToKeycode(display, sym);
        m_typingKeycodes[std::size_t(vk)] = typesOnlyWithNumLock(vk)
                                                ? soleKeycode(keysyms, minKeycode, sym)
                                                : m_keycodes[std::size_t(vk)];
    }
    loadModifiers(display, keysyms, minKeycode);
}

void KeyMap::loadModifiers(Display* display, const std::vector<std::vector<XId>>& keysyms,
                           int minKeycode)
{
    m_capsLockMask = LockMask;
    m_numLockMask = 0;
    m_scrollLockMask = 0;
    XModifierKeymap* modifiers = XGetModifierMapping(display);
    if (!modifiers)
        return;
    auto carries = [&](KeyCode code, KeySym wanted) {
        const int index = int(code) - minKeycode;
        if (code == 0 || index < 0 || index >= int(keysyms.size()))
            return false;
        const auto& list = keysyms[std::size_t(index)];
        return std::find(list.begin(), list.end(), wanted) != list.end();
    };
    // Shift, Lock and Control have fixed meanings; NumLock and ScrollLock
    // sit on whichever of Mod1 to Mod5 the map gives them.
    for (int modifier = Mod1MapIndex; modifier <= Mod5MapIndex; ++modifier) {
        for (int i = 0; i < modifiers->max_keypermod; ++i) {
            const KeyCode code = modifiers->modifiermap[modifier * modifiers->max_keypermod + i];
            if (carries(code, XK_Num_Lock))
                m_numLockMask |= 1u << modifier;
            if (carries(code, XK_Scroll_Lock))
                m_scrollLockMask |= 1u << modifier;
        }
    }
    XFreeModifiermap(modifiers);
}

void KeyMap::bind(int vk, unsigned keycode)
{
    if (vk <= 0 || vk >= 256 || keycode >= 256)
        return;
    for (auto* codes : {&m_keycodes, &m_typingKeycodes})
        for (unsigned& code : *codes)
            if (code == keycode)
                code = 0;
    if (m_keycodes[std::size_t(vk)] == 0)
        m_keycodes[std::size_t(vk)] = keycode;
    m_typingKeycodes[std::size_t(vk)] = keycode;
    m_virtualKeys[keycode] = vk;
}

std::vector<unsigned> KeyMap::lockVariants() const
{
    std::vector<unsigned> bits;
    for (unsigned mask : {m_capsLockMask, m_numLockMask, m_scrollLockMask})
        if (mask != 0 && std::find(bits.begin(), bits.end(), mask) == bits.end())
            bits.push_back(mask);
    std::vector<unsigned> variants;
    for (unsigned subset = 0; subset < (1u << bits.size()); ++subset) {
        unsigned mask = 0;
        for (std::size_t i = 0; i < bits.size(); ++i)
            if (subset & (1u << i))
                mask |= bits[i];
        if (std::find(variants.begin(), variants.end(), mask) == variants.end())
            variants.push_back(mask);
    }
    return variants;
}

}  // namespace quillon::platform::x11
