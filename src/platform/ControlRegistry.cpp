#include "platform/ControlRegistry.h"

#include <algorithm>
#include <vector>

namespace quillon::platform {
namespace {

// Serials fill the bits below the tag; bit 29 stays clear like the tag's
// neighbours, so every handle passes isControlHandle.
constexpr WindowHandle kSerialMask = 0x1FFFFFFF;

QString indexKey(const ControlKey& key)
{
    return key.service + QLatin1Char('\n') + key.path;
}

}  // namespace

Controls& noControls()
{
    class NoControls final : public Controls {
    public:
        std::vector<ControlInfo> descendants(WindowHandle) override { return {}; }
        QString text(WindowHandle) override { return {}; }
        bool setText(WindowHandle, const QString&) override { return false; }
        bool click(WindowHandle) override { return false; }
    };
    static NoControls instance;
    return instance;
}

ControlRegistry::ControlRegistry(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 4)) {}

WindowHandle ControlRegistry::handleFor(const ControlKey& key)
{
    std::lock_guard lock(m_mutex);
    const QString index = indexKey(key);
    if (auto it = m_handles.constFind(index); it != m_handles.cend()) {
        m_entries[*it].lastUse = ++m_clock;
        return *it;
    }
    if (m_nextSerial > kSerialMask)
        return 0;
    if (m_entries.size() >= m_capacity)
        evictOldest();
    const WindowHandle handle = kControlHandleTag | m_nextSerial++;
    m_entries[handle] = Entry{key, ++m_clock};
    m_handles.insert(index, handle);
    return handle;
}

std::optional<ControlKey> ControlRegistry::lookup(WindowHandle handle)
{
    if (!isControlHandle(handle))
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(handle);
    if (it == m_entries.end())
        return std::nullopt;
    it->second.lastUse = ++m_clock;
    return it->second.key;
}

void ControlRegistry::forget(WindowHandle handle)
{
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(handle);
    if (it == m_entries.end())
        return;
    m_handles.remove(indexKey(it->second.key));
    m_entries.erase(it);
}

std::size_t ControlRegistry::size() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

// Drops the least recently used quarter at once, so a search that meets
// many new controls does not sort the table once per control.
void ControlRegistry::evictOldest()
{
    std::vector<std::uint64_t> uses;
    uses.reserve(m_entries.size());
    for (const auto& [handle, entry] : m_entries)
        uses.push_back(entry.lastUse);
    const std::size_t drop = std::max<std::size_t>(1, uses.size() / 4);
    std::nth_element(uses.begin(), uses.begin() + static_cast<std::ptrdiff_t>(drop - 1), uses.end());
    const std::uint64_t limit = uses[drop - 1];
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.lastUse <= limit) {
            m_handles.remove(indexKey(it->second.key));
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace quillon::platform
