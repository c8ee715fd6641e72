// TZeMouse: left and right mouse-button actions at wherever the pointer is,
// for the script command "mouse". It never moves the pointer. A button left
// down by LeftDown or RightDown stays down until the matching up operation.
#pragma once

#include "platform/Desktop.h"
#include "platform/UnavailableDesktop.h"

namespace quillon::input {

class TZeMouse {
public:
    // Without a mouse every operation fails with the no-display error.
    explicit TZeMouse(platform::Mouse& mouse = platform::noDesktop().mouse());

    // Down, a 100 ms message-pumping pause, up (not sent when down failed).
    platform::Result LeftClick();
    platform::Result RightClick();
    platform::Result LeftDown();
    platform::Result LeftUp();
    platform::Result RightDown();
    platform::Result RightUp();

private:
    platform::Result click(int downFlags, int upFlags);

    platform::Mouse& m_mouse;
};

}  // namespace quillon::input
