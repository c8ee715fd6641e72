// TZeMouse: left and right mouse-button actions at wherever the pointer is,
// for the script command "mouse". It never moves the pointer. A button left
// down by LeftDown or RightDown stays down until the matching up operation.
#pragma once

#include "platform/Desktop.h"

namespace quillon::input {

class TZeMouse {
public:
    // `mouse` may be null (no desktop): every operation then returns false.
    explicit TZeMouse(platform::Mouse* mouse = nullptr);

    // Down, a 100 ms message-pumping pause, up.
    bool LeftClick();
    bool RightClick();
    bool LeftDown();
    bool LeftUp();
    bool RightDown();
    bool RightUp();

    bool hasDesktop() const { return m_mouse != nullptr; }

private:
    bool send(int flags);
    bool click(int downFlags, int upFlags);

    platform::Mouse* m_mouse;
};

}  // namespace quillon::input
