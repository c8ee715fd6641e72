// Internal to the X11 backend: the accessible controls inside X windows.
#pragma once

#include "platform/Desktop.h"
#include "platform/x11/X11Connection.h"

#include <memory>

namespace quillon::platform::x11 {

// Controls found through the accessibility bus of the display `connection`
// talks to; `windows` reads the titles and frames of its windows.
std::unique_ptr<Controls> makeControls(std::shared_ptr<Connection> connection, Windows& windows);

}  // namespace quillon::platform::x11
