// The Windows virtual-key code of a key the user pressed in one of the
// program's own windows, so that it can be named with the key-name table
// (input/ZenKeybd.h). Letters give their upper-case code whatever the shift
// state; a symbol typed with Shift on a US layout gives the code of the key
// it sits on ("!" is the 1 key); keypad keys give the keypad codes.
#pragma once

#include <Qt>

class QKeyEvent;

namespace quillon::app {

// The code of `key` (a Qt::Key) pressed with `modifiers`; 0 when the key has
// no virtual-key code.
int virtualKeyForQtKey(int key, Qt::KeyboardModifiers modifiers);

// The code of the key an event reports; 0 when it has none.
int virtualKeyForEvent(const QKeyEvent& event);

}  // namespace quillon::app
