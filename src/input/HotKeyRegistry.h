// The hot-key registrations the main window keeps in step with its armed
// trigger rows: while a name is registered, its key (with the modifiers given)
// is taken from the focused application system-wide. TZenHotKey is the real
// implementation; tests may supply their own.
#pragma once

#include <QString>

namespace quillon::input {

class HotKeyRegistry {
public:
    virtual ~HotKeyRegistry() = default;
    // Registers `code` (a virtual-key code) with `modifiers` (platform::kMod...)
    // under `name`. A name may be added more than once; a registration the
    // desktop refuses stays listed.
    virtual void Add(int modifiers, int code, const QString& name) = 0;
    // Removes every registration of `name` (exact match); unknown names are
    // ignored.
    virtual void Remove(const QString& name) = 0;
};

}  // namespace quillon::input
