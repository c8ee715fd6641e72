// The X11 backend: connection, error trap, key table, keyboard, mouse, shell.
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Controls.h"
#include "platform/x11/X11KeyBindings.h"
#include "platform/x11/X11KeyMap.h"

#include <QByteArray>
#include <QProcess>

// The 3270 terminal keysyms (ATTN, CRSEL, EXSEL, ...) are only declared on request.
#define XK_3270
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/Xlib-xcb.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <mutex>
#include <utility>
#include <vector>

namespace quillon::platform::x11 {
namespace {

// The error handler is process-wide in Xlib. Errors are delivered on the
// thread that reads the server's answer, which for our connection is the
// thread holding its lock, so a thread-local slot keeps threads apart.
// Recording instead of exiting is the point: a script may name any handle.
thread_local int t_errorCode = 0;

int recordError(Display*, XErrorEvent* event)
{
    if (t_errorCode == 0)
        t_errorCode = event->error_code;
    return 0;
}

std::once_flag g_initOnce;

void initXlibOnce()
{
    std::call_once(g_initOnce, [] {
        // Key presses come from several script runs at once; Xlib must be
        // told before anything else touches it.
        XInitThreads();
        XSetErrorHandler(recordError);
    });
}

struct KeysymEntry {
    int vk;
    KeySym keysym;
};

// Virtual-key codes of the key-name table with an X11 counterpart. The
// generic SHIFT, CTRL and ALT type the left-hand key.
constexpr KeysymEntry kKeysyms[] = {
    {0x03, XK_Cancel}, {0x08, XK_BackSpace}, {0x09, XK_Tab}, {0x0C, XK_Clear},
    {0x0D, XK_Return}, {0x10, XK_Shift_L}, {0x11, XK_Control_L}, {0x12, XK_Alt_L},
    {0x13, XK_Pause}, {0x14, XK_Caps_Lock}, {0x1B, XK_Escape}, {0x20, XK_space},
    {0x21, XK_Prior}, {0x22, XK_Next}, {0x23, XK_End}, {0x24, XK_Home},
    {0x25, XK_Left}, {0x26, XK_Up}, {0x27, XK_Right}, {0x28, XK_Down},
    {0x29, XK_Select}, {0x2B, XK_Execute}, {0x2C, XK_Print}, {0x2D, XK_Insert},
    {0x2E, XK_Delete}, {0x2F, XK_Help}, {0x5B, XK_Super_L}, {0x5D, XK_Menu},
    {0x6A, XK_KP_Multiply}, {0x6B, XK_KP_Add}, {0x6C, XK_KP_Separator},
    {0x6D, XK_KP_Subtract}, {0x6E, XK_KP_Decimal}, {0x6F, XK_KP_Divide},
    {0x90, XK_Num_Lock}, {0x91, XK_Scroll_Lock},
    {0xA0, XK_Shift_L}, {0xA1, XK_Shift_R}, {0xA2, XK_Control_L}, {0xA3, XK_Control_R},
    {0xA4, XK_Alt_L}, {0xA5, XK_Alt_R},
    {0xBA, XK_semicolon}, {0xBB, XK_equal}, {0xBC, XK_comma}, {0xBD, XK_minus},
    {0xBE, XK_period}, {0xBF, XK_slash}, {0xC0, XK_grave}, {0xDB, XK_bracketleft},
    {0xDC, XK_backslash}, {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},
    {0xE2, XK_less}, {0xF6, XK_3270_Attn}, {0xF7, XK_3270_CursorSelect},
    {0xF8, XK_3270_ExSelect}, {0xF9, XK_3270_EraseEOF}, {0xFA, XK_3270_Play},
    {0xFD, XK_3270_PA1},
};

KeySym rangeKeysym(int vk)
{
    if (vk >= 0x30 && vk <= 0x39)
        return XK_0 + (vk - 0x30);
    if (vk >= 0x41 && vk <= 0x5A)
        return XK_a + (vk - 0x41);  // the key, not the shifted letter
    if (vk >= 0x60 && vk <= 0x69)
        return XK_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87)
        return XK_F1 + (vk - 0x70);
    return NoSymbol;
}

// The generic modifiers are down when either hand's key is.
void addGenericModifiers(KeyState& state)
{
    state[0x10] = state[0xA0] | state[0xA1];
    state[0x11] = state[0xA2] | state[0xA3];
    state[0x12] = state[0xA4] | state[0xA5];
}

// Mouse buttons as the key state reports them.
constexpr std::pair<int, unsigned> kButtonKeys[] = {
    {0x01, Button1Mask}, {0x02, Button3Mask}, {0x04, Button2Mask}};

class X11Keyboard final : public Keyboard {
public:
    explicit X11Keyboard(std::shared_ptr<Connection> c) : m_c(std::move(c))
    {
        std::lock_guard lock(m_c->mutex());
        m_map.load(m_c->display());
    }

    bool readKeyState(KeyState& state) override
    {
        char keys[32] = {};
        unsigned mask = 0;
        state.fill(0);
        {
            std::lock_guard lock(m_c->mutex());
            refreshMapLocked();
            queryKeysAndButtonsLocked(keys, mask);
            for (unsigned code = 8; code < 256; ++code)
                if (keys[code >> 3] & (1 << (code & 7)))
                    if (const int vk = m_map.virtualKey(code))
                        state[std::size_t(vk)] = 0x80;
        }
        for (const auto& [vk, buttonMask] : kButtonKeys)
            if (mask & buttonMask)
                state[vk] = 0x80;
        addGenericModifiers(state);
        return true;
    }

    Result sendKey(int vk, int, int flags) override
    {
        if (vk <= 0 || vk > 255)
            return Result::success();
        std::lock_guard lock(m_c->mutex());
        refreshMapLocked();
        const KeyCode code = keycodeLocked(vk);
        if (code == 0)
            return Result::success();
        const bool down = !(flags & kKeyUp);
        m_bindings.noteEvent(code, down);
        if (!XTestFakeKeyEvent(m_c->display(), code, down ? True : False, CurrentTime))
            return Result::failure(QStringLiteral("the X server refused a key event"));
        XFlush(m_c->display());
        return Result::success();
    }

    int scanCode(int vk) override
    {
        // X keycodes are the kernel's key numbers plus 8, which for the keys
        // of a PC keyboard are its set-1 scan codes.
        if (vk <= 0 || vk > 255)
            return 0;
        std::lock_guard lock(m_c->mutex());
        refreshMapLocked();
        const unsigned code = m_map.keycode(vk);
        return code < 8 ? 0 : int(code) - 8;
    }

private:
    // The keys and the pointer's buttons, asked together in one round trip:
    // the key state is read 20 times a second. The requests go out on the
    // Xlib connection's own XCB side, so they are answered after every key
    // this backend sent before.
    void queryKeysAndButtonsLocked(char keys[32], unsigned& mask)
    {
        if (xcb_connection_t* c = XGetXCBConnection(m_c->display())) {
            const auto keymapCookie = xcb_query_keymap(c);
            const auto pointerCookie = xcb_query_pointer(c, xcb_window_t(m_c->root()));
            if (xcb_query_keymap_reply_t* reply = xcb_query_keymap_reply(c, keymapCookie, nullptr)) {
                std::copy(reply->keys, reply->keys + 32, keys);
                std::free(reply);
            }
            if (xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(c, pointerCookie, nullptr)) {
                mask = reply->mask;
                std::free(reply);
            }
            return;
        }
        Window rootReturn, childReturn;
        int rx, ry, wx, wy;
        XQueryKeymap(m_c->display(), keys);
        XQueryPointer(m_c->display(), m_c->root(), &rootReturn, &childReturn, &rx, &ry, &wx, &wy,
                      &mask);
    }

    // The server tells every client when the keyboard map changes (a layout
    // switch, xmodmap, our own spare bindings); the map is read again then.
    void refreshMapLocked()
    {
        XEvent event;
        bool changed = false;
        while (XCheckTypedEvent(m_c->display(), MappingNotify, &event)) {
            XRefreshKeyboardMapping(&event.xmapping);
            changed = true;
        }
        if (!changed)
            return;
        m_map.load(m_c->display());
        m_triedSpare.fill(false);
    }

    // Keys the map cannot type (F13 to F24 on many layouts; the keypad's
    // digits while NumLock is off) get a keycode bound on first use.
    KeyCode keycodeLocked(int vk)
    {
        if (const unsigned code = m_map.typingKeycode(vk); code != 0 || m_triedSpare[vk])
            return KeyCode(code);
        m_triedSpare[vk] = true;
        const KeySym sym = keysymForVirtualKey(vk);
        if (sym == NoSymbol)
            return 0;
        const unsigned code = m_bindings.bind(m_c->display(), m_c->root(), sym);
        if (code == 0)
            return 0;
        m_map.bind(vk, code);
        // Another key may have had this keycode: it binds afresh when next typed.
        m_triedSpare.fill(false);
        return KeyCode(code);
    }

    std::shared_ptr<Connection> m_c;
    KeyMap m_map;
    std::array<bool, 256> m_triedSpare{};
    KeyBindings m_bindings;
};

class X11Mouse final : public Mouse {
public:
    explicit X11Mouse(std::shared_ptr<Connection> c) : m_c(std::move(c)) {}

    Result sendButtons(int flags) override
    {
        static constexpr std::pair<int, std::pair<unsigned, Bool>> kOrder[] = {
            {kMouseLeftDown, {Button1, True}}, {kMouseLeftUp, {Button1, False}},
            {kMouseRightDown, {Button3, True}}, {kMouseRightUp, {Button3, False}}};
        std::lock_guard lock(m_c->mutex());
        bool sent = true;
        for (const auto& [flag, event] : kOrder)
            if (flags & flag)
                sent = XTestFakeButtonEvent(m_c->display(), event.first, event.second,
                                            CurrentTime) && sent;
        XFlush(m_c->display());
        return sent ? Result::success()
                    : Result::failure(QStringLiteral("the X server refused a button event"));
    }

    std::optional<Point> cursorPos() override
    {
        Window rootReturn, childReturn;
        int rx = 0, ry = 0, wx, wy;
        unsigned mask;
        std::lock_guard lock(m_c->mutex());
        if (!XQueryPointer(m_c->display(), m_c->root(), &rootReturn, &childReturn, &rx, &ry,
                           &wx, &wy, &mask))
            return std::nullopt;
        return Point{rx, ry};
    }

private:
    std::shared_ptr<Connection> m_c;
};

class XdgShell final : public Shell {
public:
    bool open(const QString& path, const QString& workingDirectory) override
    {
        return QProcess::startDetached(QStringLiteral("xdg-open"), {path}, workingDirectory);
    }
};

class X11Desktop final : public Desktop {
public:
    X11Desktop(std::shared_ptr<Connection> c, const QString& displayName)
        : m_keyboard(c), m_mouse(c), m_windows(makeWindows(c)),
          m_hotKeys(makeHotKeys(displayName)), m_keyEvents(makeKeyEvents(displayName)),
          m_controls(makeControls(c, *m_windows)), m_connection(std::move(c))
    {
    }
    Keyboard& keyboard() override { return m_keyboard; }
    Mouse& mouse() override { return m_mouse; }
    Windows& windows() override { return *m_windows; }
    HotKeys& hotKeys() override { return *m_hotKeys; }
    KeyEvents& keyEvents() override { return *m_keyEvents; }
    Shell& shell() override { return m_shell; }
    Controls& controls() override { return *m_controls; }

private:
    X11Keyboard m_keyboard;
    X11Mouse m_mouse;
    std::unique_ptr<Windows> m_windows;
    std::unique_ptr<HotKeys> m_hotKeys;
    std::unique_ptr<KeyEvents> m_keyEvents;
    XdgShell m_shell;
    std::unique_ptr<Controls> m_controls;
    std::shared_ptr<Connection> m_connection;
};

// X servers (Xvfb among them) now and then drop a connection made right
// after another client went away; a few tries a moment apart get through.
template <typename Open>
auto openWithRetries(Open open)
{
    auto connection = open();
    for (int attempt = 1; !connection && attempt < 5; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt));
        connection = open();
    }
    return connection;
}

}  // namespace

XId keysymForVirtualKey(int vk)
{
    if (const KeySym sym = rangeKeysym(vk))
        return sym;
    for (const auto& entry : kKeysyms)
        if (entry.vk == vk)
            return entry.keysym;
    return NoSymbol;
}

Connection::Connection(Display* display, xcb_connection_t* batch)
    : m_display(display), m_batch(batch), m_root(DefaultRootWindow(display))
{
    auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
    m_atoms.netClientListStacking = atom("_NET_CLIENT_LIST_STACKING");
    m_atoms.netSupported = atom("_NET_SUPPORTED");
    m_atoms.netActiveWindow = atom("_NET_ACTIVE_WINDOW");
    m_atoms.netWmName = atom("_NET_WM_NAME");
    m_atoms.utf8String = atom("UTF8_STRING");
    m_atoms.wmState = atom("WM_STATE");
    m_atoms.wmClass = XA_WM_CLASS;
}

Connection::~Connection()
{
    if (m_batch)
        xcb_disconnect(m_batch);
    XCloseDisplay(m_display);
}

std::unique_ptr<Connection> Connection::open(const QString& name, QString* error)
{
    initXlibOnce();
    const QByteArray bytes = name.toLocal8Bit();
    const char* displayName = name.isEmpty() ? nullptr : bytes.constData();
    // With no display named anywhere there is nothing to retry: headless runs
    // must not wait for a server that cannot exist.
    const char* fromEnvironment = std::getenv("DISPLAY");
    if (!displayName && (!fromEnvironment || !*fromEnvironment)) {
        if (error)
            *error = QString::fromLatin1(kNoDisplayError);
        return nullptr;
    }
    Display* display = openWithRetries([&] { return XOpenDisplay(displayName); });
    if (!display) {
        if (error)
            *error = QString::fromLatin1(kNoDisplayError);
        return nullptr;
    }
    int event, errorBase, major, minor;
    if (!XTestQueryExtension(display, &event, &errorBase, &major, &minor)) {
        XCloseDisplay(display);
        if (error)
            *error = QStringLiteral("the X11 display has no XTest extension");
        return nullptr;
    }
    xcb_connection_t* batch = openWithRetries([&]() -> xcb_connection_t* {
        xcb_connection_t* c = xcb_connect(displayName, nullptr);
        if (!xcb_connection_has_error(c))
            return c;
        xcb_disconnect(c);
        return nullptr;
    });
    return std::unique_ptr<Connection>(new Connection(display, batch));
}

void Connection::clearErrors()
{
    t_errorCode = 0;
}

bool Connection::hadError()
{
    XSync(m_display, False);
    return t_errorCode != 0;
}

}  // namespace quillon::platform::x11

namespace quillon::platform {

std::shared_ptr<Desktop> openX11Desktop(const QString& displayName, QString* error)
{
    std::shared_ptr<x11::Connection> connection = x11::Connection::open(displayName, error);
    if (!connection)
        return nullptr;
    return std::make_shared<x11::X11Desktop>(std::move(connection), displayName);
}

}  // namespace quillon::platform
