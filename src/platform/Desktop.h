// The platform seam: everything the program does to the desktop goes through
// these interfaces. Above the seam keys are Windows virtual-key codes, mouse
// buttons are `mouse_event` flags and windows are 32-bit handles, because
// those are the program's vocabulary (key-name table, scripts, state files).
//
// A `Desktop` bundles one implementation of each interface. The real backend
// talks to an X11 server; the simulated one (sim/SimDesktop.h) is an in-memory
// desktop for tests; a desktop that is not there (UnavailableDesktop.h) fails
// every operation with its reason. Every method may be called from any
// thread; backends serialise what needs serialising.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quillon::platform {

using WindowHandle = std::uint32_t;

// The text of the error a desktop operation fails with when no backend exists.
inline constexpr const char* kNoDisplayError = "no X11 display is available";

// keybd_event flags.
inline constexpr int kKeyExtended = 1;
inline constexpr int kKeyUp = 2;

// mouse_event button flags.
inline constexpr int kMouseLeftDown = 2;
inline constexpr int kMouseLeftUp = 4;
inline constexpr int kMouseRightDown = 8;
inline constexpr int kMouseRightUp = 16;

// RegisterHotKey modifier bits.
inline constexpr int kModAlt = 1;
inline constexpr int kModControl = 2;
inline constexpr int kModShift = 4;
inline constexpr int kModWin = 8;

// The outcome of an operation that acts on the desktop: success, or failure
// with a description for the user.
class Result {
public:
    static Result success() { return Result(); }
    static Result failure(QString error) { return Result(std::move(error)); }
    bool ok() const { return m_error.isEmpty(); }
    explicit operator bool() const { return ok(); }
    // The description of a failure; empty on success.
    const QString& error() const { return m_error; }

private:
    Result() = default;
    explicit Result(QString error)
        : m_error(error.isEmpty() ? QStringLiteral("the desktop operation failed") : std::move(error))
    {
    }
    QString m_error;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

using KeyState = std::array<std::uint8_t, 256>;

struct WindowTexts {
    QString title;
    QString className;
};

class Keyboard {
public:
    virtual ~Keyboard() = default;
    // Fills `state`, indexed by virtual-key code, with 0x80 for each key (and
    // mouse button) that is down, 0 otherwise. False when it cannot be read.
    virtual bool readKeyState(KeyState& state) = 0;
    // Sends one key event as keybd_event takes it (flags: kKeyExtended,
    // kKeyUp). A code the backend cannot type sends nothing and succeeds;
    // failure means the desktop could not be reached.
    virtual Result sendKey(int vk, int scan, int flags) = 0;
    // The scan code of a virtual key (MapVirtualKey type 0); 0 when unknown.
    virtual int scanCode(int vk) = 0;
};

class Mouse {
public:
    virtual ~Mouse() = default;
    // Sends the button events named by `flags` (kMouse...), at the pointer.
    virtual Result sendButtons(int flags) = 0;
    // The pointer position in screen coordinates, if it can be read.
    virtual std::optional<Point> cursorPos() = 0;
};

class Windows {
public:
    virtual ~Windows() = default;
    // Success while windows can be read at all; on a desktop that is not
    // there, the failure with its reason (the queries below then find
    // nothing). A bad handle is not a failure of the desktop.
    virtual Result status() = 0;
    // Top-level windows in z-order, top first (client windows, not frames).
    virtual std::vector<WindowHandle> topLevelWindows() = 0;
    // Direct children of `window` in z-order, top first; empty for a bad handle.
    virtual std::vector<WindowHandle> children(WindowHandle window) = 0;
    // GetParent: the owner of an owned pop-up, the parent of a child window,
    // 0 for an unowned top-level window and for a bad handle.
    virtual WindowHandle parent(WindowHandle window) = 0;
    // The window's title (its text); empty when it has none or is not a window.
    virtual QString title(WindowHandle window) = 0;
    // The window's class name; empty when it has none or is not a window.
    virtual QString className(WindowHandle window) = 0;
    // Titles and/or class names of many windows at once (a search over every
    // top-level window); what is not asked for stays empty.
    virtual std::vector<WindowTexts> texts(const std::vector<WindowHandle>& windows,
                                           bool wantTitles, bool wantClassNames)
    {
        std::vector<WindowTexts> result(windows.size());
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (wantTitles)
                result[i].title = title(windows[i]);
            if (wantClassNames)
                result[i].className = className(windows[i]);
        }
        return result;
    }
    // Sets the title. False for a bad handle.
    virtual bool setTitle(WindowHandle window, const QString& text) = 0;
    // Clicks the middle of the window (a button press, as BM_CLICK would).
    virtual bool click(WindowHandle window) = 0;
    // Shows, raises and activates the window.
    virtual bool activate(WindowHandle window) = 0;
    // Outer rectangle (with the window manager's frame) in screen coordinates.
    virtual std::optional<Rect> frameRect(WindowHandle window) = 0;
    // Screen position of the window's own (client) origin.
    virtual std::optional<Point> clientOrigin(WindowHandle window) = 0;
};

class HotKeys {
public:
    using Callback = std::function<void(int id)>;
    virtual ~HotKeys() = default;
    // Where presses of grabbed keys are reported (on a backend thread).
    virtual void setCallback(Callback callback) = 0;
    // Grabs `vk` with the kMod... `modifiers` system-wide under `id`, replacing
    // an earlier grab under `id`. Several ids may grab one combination; each
    // press of it is reported once per id. Fails, saying why, when the key is
    // not on the keyboard or another program holds the grab.
    virtual Result grab(int id, int modifiers, int vk) = 0;
    // Releases the grab made under `id`; unknown ids are ignored. The key is
    // given back only when no other id holds the same combination.
    virtual void ungrab(int id) = 0;
};

// What the key events of a stretch of time did to each key, by virtual-key
// code: whether it went down, whether it went up, and whether it went down
// again after going up (a release and a new press, in that order).
struct KeyChanges {
    std::array<bool, 256> pressed{};
    std::array<bool, 256> released{};
    std::array<bool, 256> pressedAfterRelease{};

    // Adds one event, in the order the events happened.
    void add(int vk, bool down)
    {
        if (vk <= 0 || vk >= 256)
            return;
        const auto i = std::size_t(vk);
        if (down) {
            pressed[i] = true;
            if (released[i])
                pressedAfterRelease[i] = true;
        } else {
            released[i] = true;
        }
    }
};

// One watcher's view of the key events of the whole desktop.
class KeyWatch {
public:
    virtual ~KeyWatch() = default;
    // Hands over what the key events since the last call (or since the
    // watch began) did to each key, and forgets them. The generic SHIFT,
    // CTRL and ALT are pressed with either hand's key; their releases are
    // left to the reader, who knows whether the other hand's key is held.
    virtual void takeChanges(KeyChanges& changes) = 0;
    // Sets 0x80 in `state` for every key that went down since the last
    // call, even when it is up again, and forgets every change.
    void takePresses(KeyState& state)
    {
        KeyChanges changes;
        takeChanges(changes);
        for (std::size_t vk = 0; vk < state.size(); ++vk)
            if (changes.pressed[vk])
                state[vk] = 0x80;
    }
};

// Key presses and releases anywhere on the desktop, as they happen, whatever
// window has the focus and whether or not a key is grabbed.
class KeyEvents {
public:
    using Wake = std::function<void()>;
    virtual ~KeyEvents() = default;
    // Starts a watch; `wake` (may be empty) is called on a backend thread
    // after every key press and release until the watch is destroyed, which
    // waits for a call in progress. Null when the desktop cannot report key
    // events: its readers then see only what reading the key state shows.
    virtual std::unique_ptr<KeyWatch> watch(Wake wake) = 0;
};

// The controls that today's toolkits (GTK, Qt) draw inside one X window,
// reached through the desktop's accessibility bus. They get handles of their
// own from the same 32-bit space as windows: X resource ids never set the top
// three bits, so handles with bit 30 set (isControlHandle) never name a
// window. A handle stays valid while its control exists; a gone control or a
// handle never handed out gives the empty answers of a bad handle.
struct ControlInfo {
    WindowHandle handle = 0;
    QString roleName;      // the accessibility role: "push button", "text", "label" ...
    QString toolkitClass;  // the toolkit's class name, where the toolkit reports one
};

class Controls {
public:
    virtual ~Controls() = default;
    // The accessible descendants of a window or of a control, depth first,
    // parents before children, in the toolkit's order. Empty for a bad
    // handle, a window without accessible controls, or when there is no
    // accessibility bus.
    virtual std::vector<ControlInfo> descendants(WindowHandle parent) = 0;
    // The control's text: an editable or text control's content, otherwise
    // its accessible name. Empty for a bad handle.
    virtual QString text(WindowHandle control) = 0;
    // Replaces an editable control's text. False for a bad handle or a
    // control that cannot be edited.
    virtual bool setText(WindowHandle control, const QString& text) = 0;
    // Runs the control's default action (a button's click) without moving
    // the pointer or the focus. False for a bad handle or a control without
    // such an action.
    virtual bool click(WindowHandle control) = 0;
};

inline constexpr WindowHandle kControlHandleTag = 0x40000000;
inline constexpr WindowHandle kControlHandleMask = 0xE0000000;

// True for handles of the control range (whether or not the control exists).
inline constexpr bool isControlHandle(WindowHandle handle)
{
    return (handle & kControlHandleMask) == kControlHandleTag && handle != kControlHandleTag;
}

// Controls of a desktop without an accessibility bus: nothing is found and
// every handle is bad. Stateless; one instance serves every thread.
Controls& noControls();

class Shell {
public:
    virtual ~Shell() = default;
    // Opens `path` with the desktop's default handler in `workingDirectory`.
    // False when the handler could not be started.
    virtual bool open(const QString& path, const QString& workingDirectory) = 0;
};

class Desktop {
public:
    virtual ~Desktop() = default;
    virtual Keyboard& keyboard() = 0;
    virtual Mouse& mouse() = 0;
    virtual Windows& windows() = 0;
    virtual HotKeys& hotKeys() = 0;
    virtual KeyEvents& keyEvents() = 0;
    virtual Shell& shell() = 0;
    // The accessible controls inside windows; none unless the backend has them.
    virtual Controls& controls() { return noControls(); }
};

// Connects to the X11 display `displayName` (empty: $DISPLAY). Returns null,
// with the reason in *error when given, when no display can be opened.
std::shared_ptr<Desktop> openX11Desktop(const QString& displayName = {}, QString* error = nullptr);

// The name of the environment variable that picks the backend:
// "x11" (the default) or "sim", the simulated desktop, which lets the program
// run offscreen without touching any real desktop.
inline constexpr const char* kDesktopVariable = "QUILLON_DESKTOP";

// The backend chosen at start, never null: the one kDesktopVariable names;
// by default X11 when a display can be opened, else a desktop that fails
// every operation with kNoDisplayError. An unknown name is reported in
// *warning (when given) and the default is used.
std::shared_ptr<Desktop> openDefaultDesktop(QString* warning = nullptr);

}  // namespace quillon::platform
