// Handles for accessible controls. A control is named on the accessibility
// bus by its connection's bus name and its object path; scripts need one
// 32-bit number that survives being printed as decimal text, so each control
// met by a search is given a handle of the control range (see
// isControlHandle) and keeps it for as long as the registry remembers it.
//
// Serials are never reused, so an old handle cannot come to name another
// control. The registry forgets the least recently used controls beyond its
// capacity, which keeps a long session's memory bounded; a forgotten handle
// is then a bad one, as the handle of a gone control is.
#pragma once

#include "platform/Desktop.h"

#include <QHash>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace quillon::platform {

struct ControlKey {
    QString service;  // the unique bus name of the application's connection
    QString path;     // the object path of the control
    bool operator==(const ControlKey&) const = default;
};

class ControlRegistry {
public:
    explicit ControlRegistry(std::size_t capacity = 65536);

    // The handle of the control, handed out the first time it is met; 0 when
    // every serial has been used.
    WindowHandle handleFor(const ControlKey& key);
    // The control `handle` names; nothing for a handle outside the control
    // range, one never handed out, or one forgotten.
    std::optional<ControlKey> lookup(WindowHandle handle);
    // Forgets a control that is gone: its handle is bad from now on.
    void forget(WindowHandle handle);
    std::size_t size() const;

private:
    struct Entry {
        ControlKey key;
        std::uint64_t lastUse = 0;
    };
    void evictOldest();

    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::unordered_map<WindowHandle, Entry> m_entries;
    QHash<QString, WindowHandle> m_handles;  // service + '\n' + path -> handle
    WindowHandle m_nextSerial = 1;
    std::uint64_t m_clock = 0;
};

}  // namespace quillon::platform
