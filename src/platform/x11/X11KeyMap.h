// Internal to the X11 backend: the keyboard map of one server as the program
// sees it. Reading the key state needs every physical key's virtual-key code
// (the keysyms its keycode carries decide, its position on a PC keyboard
// when no keysym has a code); typing and grabbing need the keycode of a
// virtual key; hot keys need the modifier bits the lock keys occupy, which
// the modifier map decides. load() reads all three afresh, so a layout
// switch takes effect without a restart. Free of Xlib headers.
#pragma once

#include "platform/x11/X11Connection.h"

#include <array>
#include <vector>

namespace quillon::platform::x11 {

// The virtual-key code a keysym stands for when the program reads keys:
// the sided code for a modifier (Shift_L is 0xA0), letters in either case,
// both Enter keys 0x0D; 0 for keysyms without a code.
int virtualKeyForKeysym(XId keysym);

// The virtual-key code of the key at `keycode` on a PC keyboard (evdev
// numbering, as the server reports it), by position with the US labels;
// 0 for keycodes that are no key of a 105-key keyboard.
int virtualKeyForPosition(unsigned keycode);

// The code of the key at `keycode` carrying `keysyms` (in the server's
// order: first group's levels first): the first keysym with a code decides,
// else the key's position.
int virtualKeyForKey(unsigned keycode, const std::vector<XId>& keysyms);

class KeyMap {
public:
    // Reads the keyboard and modifier maps; the connection's lock is held.
    void load(_XDisplay* display);

    // The virtual-key code read for `keycode`; 0 for none.
    int virtualKey(unsigned keycode) const { return keycode < 256 ? m_virtualKeys[keycode] : 0; }
    // The keycode of the key that carries `vk`'s keysym (for grabs and scan
    // codes); 0 when the map has none.
    unsigned keycode(int vk) const { return vk > 0 && vk < 256 ? m_keycodes[vk] : 0; }
    // The keycode that types `vk` whatever the lock state; 0 when none does.
    // For most keys the key that carries the keysym; the keypad's digits and
    // decimal point need a keycode that carries nothing else, because the
    // keypad's own keys type Home, End and the arrows while NumLock is off.
    unsigned typingKeycode(int vk) const { return vk > 0 && vk < 256 ? m_typingKeycodes[vk] : 0; }
    // Remembers a keycode bound to `vk` by the program itself; whatever
    // typed through that keycode before no longer does.
    void bind(int vk, unsigned keycode);

    // The modifier bits of CapsLock, NumLock and ScrollLock (0 for a lock
    // key the map does not have).
    unsigned capsLockMask() const { return m_capsLockMask; }
    unsigned numLockMask() const { return m_numLockMask; }
    unsigned scrollLockMask() const { return m_scrollLockMask; }
    unsigned allLockMasks() const { return m_capsLockMask | m_numLockMask | m_scrollLockMask; }
    // Every combination of the lock bits, 0 first, each once.
    std::vector<unsigned> lockVariants() const;

private:
    void loadModifiers(_XDisplay* display, const std::vector<std::vector<XId>>& keysyms,
                       int minKeycode);

    std::array<int, 256> m_virtualKeys{};
    std::array<unsigned, 256> m_keycodes{};
    std::array<unsigned, 256> m_typingKeycodes{};
    unsigned m_capsLockMask = 0;
    unsigned m_numLockMask = 0;
    unsigned m_scrollLockMask = 0;
};

}  // namespace quillon::platform::x11
