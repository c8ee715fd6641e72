// The global stop key: the virtual-key code whose press stops every run and
// toggles every complete row of the trigger table. The settings window sets
// it from the key it keeps; trigger dispatch reads it on every press. 0 means
// no stop key (no key event carries code 0).
#pragma once

#include <atomic>

namespace quillon::app {

inline constexpr int DefaultGlobalStopKey = 122;   // F11

// Process-wide, as the settings window and dispatch share it. Written and read
// on the GUI thread today; atomic so a run thread may read it safely.
extern std::atomic<int> GlobalStopKey;

} // namespace quillon::app
