// HeldInput: the keys and mouse buttons each script run has pressed and not
// released, so that nothing stays stuck down when a run is stopped before
// its own release lines: the stopped run's holdings are released, and the
// stop key and the exit release every run's. A run whose section simply
// ends keeps its keys down (a "down" section may hold a key that its "up"
// section releases).
//
// A holder is any stable address naming a run (its engine). A release by
// anyone, or a release of the key by the user through a script, ends every
// holder's claim on that key. Safe to call from several run threads at once.
#pragma once

#include "input/ZeMouse.h"
#include "input/ZenKeybd.h"

#include <mutex>
#include <vector>

namespace quillon::input {

class HeldInput {
public:
    using Holder = const void*;

    HeldInput(TZenKeybd& keybd, TZeMouse& mouse);

    // The key operations of TZenKeybd, remembering what `holder` holds.
    platform::Result KeyDown(Holder holder, const QString& name);
    platform::Result KeyUp(Holder holder, const QString& name);
    // The mouse operations of TZeMouse; clicks hold nothing.
    platform::Result LeftDown(Holder holder);
    platform::Result LeftUp(Holder holder);
    platform::Result RightDown(Holder holder);
    platform::Result RightUp(Holder holder);

    // Releases what `holder` holds, last pressed first, and forgets it.
    void ReleaseAll(Holder holder);
    // Releases what every holder holds.
    void ReleaseEverything();
    // Whether `holder` holds anything.
    bool Holds(Holder holder) const;

private:
    enum class Kind { Key, LeftButton, RightButton };
    struct Held {
        Holder holder;
        Kind kind;
        int code;  // Key: the virtual-key code the name resolved to
    };
    void hold(Holder holder, Kind kind, int code);
    void letGo(Kind kind, int code);
    void release(const std::vector<Held>& held);

    TZenKeybd& m_keybd;
    TZeMouse& m_mouse;
    mutable std::mutex m_mutex;
    std::vector<Held> m_held;  // in the order pressed
};

}  // namespace quillon::input
