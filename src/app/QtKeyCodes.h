// The virtual-key code of a key the window received from Qt, the code the
// key-name table names keys by. Keys Qt reports as the keypad's get the
// NUMPAD codes; keys the table has no code for give 0.
#pragma once

#include <Qt>

class QKeyEvent;

namespace quillon::app {

int virtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);
int virtualKeyOf(const QKeyEvent& event);

}  // namespace quillon::app
