// Internal to the X11 backend: keycodes the program binds itself, for keys
// the keyboard map lacks (F13 to F24 on many layouts, SELECT, the 3270 keys)
// and for the keypad's digits, which the keypad's own keys type only while
// NumLock is on.
//
// Other clients look a keycode's keysym up when they handle its event, often
// a while after it was sent, so a binding that changed or went in between
// makes the key arrive as NoSymbol or as another key. Bindings are therefore
// never undone: they stay on keycodes no physical key produces, later copies
// of the program find and use them, and they are listed on the root window
// so that any copy can reuse them. Only when no free keycode is left is the
// binding used longest ago moved to the new key, never one whose key is down.
// Free of Xlib headers.
#pragma once

#include "platform/x11/X11Connection.h"

#include <array>
#include <chrono>

namespace quillon::platform::x11 {

class KeyBindings {
public:
    // Binds `keysym` to a free keycode (or to the binding used longest ago)
    // and waits until the server has applied it; 0 when every candidate is
    // in use. The connection's lock is held.
    unsigned bind(_XDisplay* display, XId root, XId keysym);
    // Records a press or release sent through `keycode`.
    void noteEvent(unsigned keycode, bool down);

private:
    unsigned freeKeycode(_XDisplay* display);
    unsigned reusableKeycode(_XDisplay* display, XId root, XId atom);

    using Clock = std::chrono::steady_clock;
    std::array<Clock::time_point, 256> m_lastUse{};
    std::array<bool, 256> m_down{};
};

}  // namespace quillon::platform::x11
