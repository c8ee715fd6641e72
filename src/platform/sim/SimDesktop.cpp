#include "platform/sim/SimDesktop.h"

#include <algorithm>

namespace quillon::platform {

SimDesktop::SimDesktop() = default;

std::vector<WindowHandle>& SimDesktop::siblingsOf(WindowHandle treeParent)
{
    return treeParent == 0 ? m_topLevel : m_windows[treeParent].children;
}

WindowHandle SimDesktop::addWindow(const QString& title, const QString& className,
                                   WindowHandle treeParent, WindowHandle owner)
{
    std::lock_guard lock(m_mutex);
    if (treeParent != 0 && !m_windows.count(treeParent))
        return 0;
    const WindowHandle h = m_nextHandle++;
    SimWindow w;
    w.title = title;
    w.className = className;
    w.treeParent = treeParent;
    w.owner = owner;
    m_windows[h] = w;
    siblingsOf(treeParent).push_back(h);
    return h;
}

void SimDesktop::removeWindow(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    if (it == m_windows.end())
        return;
    auto& siblings = siblingsOf(it->second.treeParent);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
    m_windows.erase(window);
}

void SimDesktop::setFrameRect(WindowHandle window, Rect outer, Point clientOrigin)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    if (it == m_windows.end())
        return;
    it->second.outer = outer;
    it->second.origin = clientOrigin;
}

class SimDesktop::SimKeyWatch final : public KeyWatch {
public:
    SimKeyWatch(SimDesktop& desktop, Wake wake) : m_desktop(desktop), m_wake(std::move(wake))
    {
        std::lock_guard lock(m_desktop.m_watchMutex);
        m_desktop.m_watchers.push_back(this);
    }
    ~SimKeyWatch() override
    {
        std::lock_guard lock(m_desktop.m_watchMutex);
        auto& list = m_desktop.m_watchers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    void takeChanges(KeyChanges& changes) override
    {
        std::lock_guard lock(m_desktop.m_watchMutex);
        changes = m_changes;
        m_changes = {};
    }
    // Called with the desktop's watch lock held.
    void heard(int vk, bool down)
    {
        m_changes.add(vk, down);
        if (m_wake)
            m_wake();
    }

private:
    SimDesktop& m_desktop;
    Wake m_wake;
    KeyChanges m_changes;
};

void SimDesktop::setKeyDown(int vk, bool down)
{
    {
        std::lock_guard lock(m_mutex);
        if (vk >= 0 && vk < 256)
            m_keys[vk] = down ? 0x80 : 0;
    }
    notifyWatchers(vk, down);
}

void SimDesktop::tapKey(int vk)
{
    notifyWatchers(vk, true);
    notifyWatchers(vk, false);
}

void SimDesktop::setKeyEventsAvailable(bool available)
{
    std::lock_guard lock(m_mutex);
    m_keyEventsAvailable = available;
}

void SimDesktop::notifyWatchers(int vk, bool down)
{
    std::lock_guard lock(m_watchMutex);
    for (SimKeyWatch* watcher : m_watchers)
        watcher->heard(vk, down);
}

std::unique_ptr<KeyWatch> SimDesktop::watch(Wake wake)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_keyEventsAvailable)
            return nullptr;
    }
    return std::make_unique<SimKeyWatch>(*this, std::move(wake));
}

void SimDesktop::setCursor(Point p)
{
    std::lock_guard lock(m_mutex);
    m_cursor = p;
}

void SimDesktop::setShellResult(bool ok)
{
    std::lock_guard lock(m_mutex);
    m_shellResult = ok;
}

void SimDesktop::pressHotKey(int modifiers, int vk)
{
    Callback callback;
    std::vector<int> ids;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [grabId, key] : m_grabs)
            if (key == std::make_pair(modifiers, vk))
                ids.push_back(grabId);
        callback = m_callback;
    }
    if (callback)
        for (int id : ids)
            callback(id);
}

void SimDesktop::holdForeignGrab(int modifiers, int vk)
{
    std::lock_guard lock(m_mutex);
    m_foreignGrabs.emplace_back(modifiers, vk);
}

std::vector<std::pair<int, int>> SimDesktop::grabbedKeys() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<int, int>> keys;
    for (const auto& [id, key] : m_grabs)
        keys.push_back(key);
    return keys;
}

std::vector<SimEvent> SimDesktop::events() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

void SimDesktop::clearEvents()
{
    std::lock_guard lock(m_mutex);
    m_events.clear();
}

void SimDesktop::log(SimEvent event)
{
    event.at = std::chrono::steady_clock::now();
    m_events.push_back(std::move(event));
}

bool SimDesktop::readKeyState(KeyState& state)
{
    std::lock_guard lock(m_mutex);
    state = m_keys;
    return true;
}

Result SimDesktop::sendKey(int vk, int scan, int flags)
{
    {
        std::lock_guard lock(m_mutex);
        if (vk >= 0 && vk < 256)
            m_keys[vk] = (flags & kKeyUp) ? 0 : 0x80;
        log({SimEvent::Kind::Key, vk, scan, flags, 0, {}, {}});
    }
    // A synthesised key is a key event like any other.
    notifyWatchers(vk, !(flags & kKeyUp));
    return Result::success();
}

int SimDesktop::scanCode(int vk)
{
    // A fixed, recognisable mapping so tests can see the scan code travel.
    return vk > 0 && vk < 256 ? vk + 0x100 : 0;
}

Result SimDesktop::sendButtons(int flags)
{
    std::lock_guard lock(m_mutex);
    log({SimEvent::Kind::Mouse, flags, 0, 0, 0, {}, {}});
    return Result::success();
}

std::optional<Point> SimDesktop::cursorPos()
{
    std::lock_guard lock(m_mutex);
    return m_cursor;
}

Result SimDesktop::status()
{
    return Result::success();
}

std::vector<WindowHandle> SimDesktop::topLevelWindows()
{
    std::lock_guard lock(m_mutex);
    return m_topLevel;
}

std::vector<WindowHandle> SimDesktop::children(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    return it == m_windows.end() ? std::vector<WindowHandle>{} : it->second.children;
}

WindowHandle SimDesktop::parent(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    if (it == m_windows.end())
        return 0;
    return it->second.treeParent != 0 ? it->second.treeParent : it->second.owner;
}

QString SimDesktop::title(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    return it == m_windows.end() ? QString() : it->second.title;
}

QString SimDesktop::className(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    return it == m_windows.end() ? QString() : it->second.className;
}

bool SimDesktop::setTitle(WindowHandle window, const QString& text)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    if (it == m_windows.end())
        return false;
    it->second.title = text;
    log({SimEvent::Kind::SetTitle, 0, 0, 0, window, text, {}});
    return true;
}

bool SimDesktop::click(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    if (!m_windows.count(window))
        return false;
    log({SimEvent::Kind::Click, 0, 0, 0, window, {}, {}});
    return true;
}

bool SimDesktop::activate(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    if (it == m_windows.end())
        return false;
    auto& siblings = siblingsOf(it->second.treeParent);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
    siblings.insert(siblings.begin(), window);
    log({SimEvent::Kind::Activate, 0, 0, 0, window, {}, {}});
    return true;
}

std::optional<Rect> SimDesktop::frameRect(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    if (it == m_windows.end())
        return std::nullopt;
    return it->second.outer;
}

std::optional<Point> SimDesktop::clientOrigin(WindowHandle window)
{
    std::lock_guard lock(m_mutex);
    auto it = m_windows.find(window);
    if (it == m_windows.end())
        return std::nullopt;
    return it->second.origin;
}

void SimDesktop::setCallback(Callback callback)
{
    std::lock_guard lock(m_mutex);
    m_callback = std::move(callback);
}

Result SimDesktop::grab(int id, int modifiers, int vk)
{
    std::lock_guard lock(m_mutex);
    m_grabs.erase(id);
    const std::pair<int, int> key{modifiers, vk};
    if (std::find(m_foreignGrabs.begin(), m_foreignGrabs.end(), key) != m_foreignGrabs.end())
        return Result::failure(QStringLiteral("another program holds the key"));
    m_grabs[id] = key;
    return Result::success();
}

void SimDesktop::ungrab(int id)
{
    std::lock_guard lock(m_mutex);
    m_grabs.erase(id);
}

bool SimDesktop::open(const QString& path, const QString& workingDirectory)
{
    std::lock_guard lock(m_mutex);
    log({SimEvent::Kind::Open, 0, 0, 0, 0, path + QLatin1Char('|') + workingDirectory, {}});
    return m_shellResult;
}

}  // namespace quillon::platform
