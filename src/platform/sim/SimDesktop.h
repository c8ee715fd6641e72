// An in-memory desktop for deterministic tests: a window tree with titles,
// classes and owners, a key-state array, a pointer, hot-key grabs and a log
// of everything synthesised. Tests build the desktop, run the code under test
// and read the log. All methods are safe to call from several threads.
#pragma once

#include "platform/Desktop.h"

#include <chrono>
#include <map>
#include <mutex>

namespace quillon::platform {

struct SimEvent {
    enum class Kind { Key, Mouse, Click, Activate, SetTitle, Open };
    Kind kind = Kind::Key;
    int code = 0;     // Key: virtual key; Mouse: button flags
    int scan = 0;     // Key: scan code
    int flags = 0;    // Key: keybd_event flags
    WindowHandle window = 0;
    QString text;     // SetTitle: new title; Open: path
    std::chrono::steady_clock::time_point at;
};

class SimDesktop final : public Desktop, Keyboard, Mouse, Windows, HotKeys, KeyEvents, Shell {
public:
    SimDesktop();

    // Adds a window below its siblings (so windows added first are on top).
    // `treeParent` 0 makes it top-level; `owner` makes a top-level window an
    // owned pop-up. Returns its handle (never 0).
    WindowHandle addWindow(const QString& title, const QString& className,
                           WindowHandle treeParent = 0, WindowHandle owner = 0);
    void removeWindow(WindowHandle window);
    void setFrameRect(WindowHandle window, Rect outer, Point clientOrigin);
    // Presses or releases a key as the user would: the key state follows and
    // key watchers hear of it.
    void setKeyDown(int vk, bool down);
    // A press and release too quick for any poll: the key state never shows
    // it, key watchers do.
    void tapKey(int vk);
    // Whether key watches can be made (they can unless this says otherwise).
    void setKeyEventsAvailable(bool available);
    void setCursor(Point p);
    void setShellResult(bool ok);
    // Simulates the user pressing a hot key: reported once for every id that
    // grabbed the combination, in ascending id order.
    void pressHotKey(int modifiers, int vk);
    // Simulates another program holding a grab of the combination.
    void holdForeignGrab(int modifiers, int vk);
    // The combinations grabbed now, one entry per id.
    std::vector<std::pair<int, int>> grabbedKeys() const;

    std::vector<SimEvent> events() const;
    void clearEvents();

    Keyboard& keyboard() override { return *this; }
    Mouse& mouse() override { return *this; }
    Windows& windows() override { return *this; }
    HotKeys& hotKeys() override { return *this; }
    KeyEvents& keyEvents() override { return *this; }
    Shell& shell() override { return *this; }

    bool readKeyState(KeyState& state) override;
    Result sendKey(int vk, int scan, int flags) override;
    int scanCode(int vk) override;

    Result sendButtons(int flags) override;
    std::optional<Point> cursorPos() override;

    Result status() override;
    std::vector<WindowHandle> topLevelWindows() override;
    std::vector<WindowHandle> children(WindowHandle window) override;
    WindowHandle parent(WindowHandle window) override;
    QString title(WindowHandle window) override;
    QString className(WindowHandle window) override;
    bool setTitle(WindowHandle window, const QString& text) override;
    bool click(WindowHandle window) override;
    bool activate(WindowHandle window) override;
    std::optional<Rect> frameRect(WindowHandle window) override;
    std::optional<Point> clientOrigin(WindowHandle window) override;

    void setCallback(Callback callback) override;
    Result grab(int id, int modifiers, int vk) override;
    void ungrab(int id) override;

    std::unique_ptr<KeyWatch> watch(Wake wake) override;

    bool open(const QString& path, const QString& workingDirectory) override;

private:
    struct SimWindow {
        QString title;
        QString className;
        WindowHandle treeParent = 0;
        WindowHandle owner = 0;
        std::vector<WindowHandle> children;  // top first
        Rect outer;
        Point origin;
    };
    class SimKeyWatch;
    void log(SimEvent event);
    void notifyWatchers(int vk, bool down);
    std::vector<WindowHandle>& siblingsOf(WindowHandle treeParent);

    mutable std::mutex m_mutex;
    std::map<WindowHandle, SimWindow> m_windows;
    std::vector<WindowHandle> m_topLevel;  // top first
    WindowHandle m_nextHandle = 0x100;
    KeyState m_keys{};
    Point m_cursor;
    std::vector<SimEvent> m_events;
    std::map<int, std::pair<int, int>> m_grabs;  // id -> (modifiers, vk)
    std::vector<std::pair<int, int>> m_foreignGrabs;
    Callback m_callback;
    bool m_shellResult = true;
    bool m_keyEventsAvailable = true;
    // Watchers are told under their own lock, so a watch that is destroyed
    // is never called afterwards.
    std::mutex m_watchMutex;
    std::vector<SimKeyWatch*> m_watchers;
};

}  // namespace quillon::platform
