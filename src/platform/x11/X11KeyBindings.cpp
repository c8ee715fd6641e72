#include "platform/x11/X11KeyBindings.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace quillon::platform::x11 {
namespace {

// The root window's list of keycodes bound by any copy of the program.
constexpr const char* kBoundList = "_QUILLON_BOUND_KEYCODES";

// A binding that moves to another key waits this long after its last event,
// so that clients still busy with that event look it up as it was.
constexpr auto kSettle = std::chrono::milliseconds(250);

std::vector<unsigned> boundList(Display* d, Window root, Atom atom)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned> codes;
    if (XGetWindowProperty(d, root, atom, 0, 256, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success && data && format == 32) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            if (values[i] < 256)
                codes.push_back(unsigned(values[i]));
    }
    if (data)
        XFree(data);
    return codes;
}

// The keysyms of one keycode, NoSymbol ones left out.
std::vector<KeySym> keysymsOf(Display* d, unsigned code)
{
    int perCode = 0;
    KeySym* syms = XGetKeyboardMapping(d, KeyCode(code), 1, &perCode);
    std::vector<KeySym> list;
    for (int i = 0; syms && i < perCode; ++i)
        if (syms[i] != NoSymbol)
            list.push_back(syms[i]);
    if (syms)
        XFree(syms);
    return list;
}

// A binding of ours carries one keysym at every level; anything else on a
// listed keycode was put there by someone else since, and is left alone.
bool looksBound(const std::vector<KeySym>& syms)
{
    return !syms.empty() && std::all_of(syms.begin(), syms.end(), [&](KeySym s) { return s == syms[0]; });
}

}  // namespace

unsigned KeyBindings::bind(Display* d, XId root, XId keysym)
{
    const Atom atom = XInternAtom(d, kBoundList, False);
    unsigned code = freeKeycode(d);
    if (code == 0)
        code = reusableKeycode(d, root, atom);
    if (code == 0)
        return 0;
    KeySym syms[2] = {keysym, keysym};
    XChangeKeyboardMapping(d, int(code), 2, syms, 1);
    const std::vector<unsigned> listed = boundList(d, root, atom);
    if (std::find(listed.begin(), listed.end(), code) == listed.end()) {
        const unsigned long value = code;
        XChangeProperty(d, root, atom, XA_CARDINAL, 32, PropModeAppend,
                        reinterpret_cast<const unsigned char*>(&value), 1);
    }
    // Applied, and every client's MappingNotify queued, before the first
    // event through the keycode is sent.
    XSync(d, False);
    return code;
}

void KeyBindings::noteEvent(unsigned keycode, bool down)
{
    if (keycode >= 256)
        return;
    m_down[keycode] = down;
    m_lastUse[keycode] = Clock::now();
}

unsigned KeyBindings::freeKeycode(Display* d)
{
    int minCode = 0, maxCode = 0, perCode = 0;
    XDisplayKeycodes(d, &minCode, &maxCode);
    KeySym* map = XGetKeyboardMapping(d, KeyCode(minCode), maxCode - minCode + 1, &perCode);
    if (!map)
        return 0;
    unsigned found = 0;
    for (int code = maxCode; code >= minCode && found == 0; --code) {
        const KeySym* syms = map + (code - minCode) * perCode;
        if (std::all_of(syms, syms + perCode, [](KeySym s) { return s == NoSymbol; }))
            found = unsigned(code);
    }
    XFree(map);
    return found;
}

unsigned KeyBindings::reusableKeycode(Display* d, XId root, XId atom)
{
    char keys[32] = {};
    XQueryKeymap(d, keys);
    unsigned best = 0;
    for (unsigned code : boundList(d, root, atom)) {
        const bool down = m_down[code] || (keys[code >> 3] & (1 << (code & 7)));
        if (down || !looksBound(keysymsOf(d, code)))
            continue;
        if (best == 0 || m_lastUse[code] < m_lastUse[best])
            best = code;
    }
    if (best != 0) {
        const auto since = Clock::now() - m_lastUse[best];
        if (since < kSettle)
            std::this_thread::sleep_for(kSettle - since);
    }
    return best;
}

}  // namespace quillon::platform::x11
