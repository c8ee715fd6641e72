// System-wide hot keys through XGrabKey on the root window. The grabs live on
// a connection of their own, read by a listener thread that reports each
// press through the callback; the lock keys must not defeat a hot key, so
// every combination of CapsLock, NumLock and ScrollLock is grabbed as well.
#include "platform/x11/X11Connection.h"

#include <X11/Xlib.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <thread>

namespace quillon::platform::x11 {
namespace {

struct Grab {
    KeyCode keycode = 0;
    unsigned modifiers = 0;
};

// NumLock is Mod2 and ScrollLock Mod3 on the usual keyboard maps.
constexpr unsigned kLockVariants[] = {0,
                                      LockMask,
                                      Mod2Mask,
                                      Mod3Mask,
                                      LockMask | Mod2Mask,
                                      LockMask | Mod3Mask,
                                      Mod2Mask | Mod3Mask,
                                      LockMask | Mod2Mask | Mod3Mask};
constexpr unsigned kLockMask = LockMask | Mod2Mask | Mod3Mask;

unsigned xModifiers(int modifiers)
{
    unsigned mask = 0;
    if (modifiers & kModAlt)
        mask |= Mod1Mask;
    if (modifiers & kModControl)
        mask |= ControlMask;
    if (modifiers & kModShift)
        mask |= ShiftMask;
    if (modifiers & kModWin)
        mask |= Mod4Mask;
    return mask;
}

class X11HotKeys final : public HotKeys {
public:
    explicit X11HotKeys(const QString& displayName) : m_displayName(displayName) {}

    ~X11HotKeys() override
    {
        if (m_thread.joinable()) {
            m_stop = true;
            wake();
            m_thread.join();
        }
        if (m_wake[0] >= 0) {
            close(m_wake[0]);
            close(m_wake[1]);
        }
    }

    void setCallback(Callback callback) override
    {
        std::lock_guard lock(m_callbackMutex);
        m_callback = std::move(callback);
    }

    bool grab(int id, int modifiers, int vk) override
    {
        if (!start())
            return false;
        const bool ok = grabLocked(id, modifiers, vk);
        wake();
        return ok;
    }

    void ungrab(int id) override
    {
        if (!start())
            return;
        {
            std::lock_guard lock(m_c->mutex());
            ungrabLocked(id);
        }
        wake();
    }

private:
    // The connection and its listener exist only once a key is grabbed, so a
    // run from the command line costs no extra connection or thread.
    bool start()
    {
        std::lock_guard lock(m_startMutex);
        if (m_started)
            return m_c != nullptr;
        m_started = true;
        m_c = Connection::open(m_displayName, nullptr);
        if (!m_c)
            return false;
        if (pipe(m_wake) != 0) {
            m_c.reset();
            return false;
        }
        XSelectInput(m_c->display(), m_c->root(), KeyPressMask);
        m_thread = std::thread([this] { listen(); });
        return true;
    }

    // Events read by another thread's request sit in Xlib's queue where
    // poll() cannot see them; a byte on the pipe makes the listener look.
    void wake()
    {
        const char byte = 0;
        [[maybe_unused]] auto written = write(m_wake[1], &byte, 1);
    }

    bool grabLocked(int id, int modifiers, int vk)
    {
        const XId sym = keysymForVirtualKey(vk);
        std::lock_guard lock(m_c->mutex());
        const KeyCode code = sym ? XKeysymToKeycode(m_c->display(), sym) : 0;
        if (code == 0)
            return false;
        ungrabLocked(id);
        const Grab grab{code, xModifiers(modifiers)};
        m_c->clearErrors();
        for (unsigned variant : kLockVariants)
            XGrabKey(m_c->display(), code, grab.modifiers | variant, m_c->root(), False,
                     GrabModeAsync, GrabModeAsync);
        if (m_c->hadError()) {  // BadAccess: another client holds the key
            m_grabs[id] = grab;
            ungrabLocked(id);
            return false;
        }
        m_grabs[id] = grab;
        return true;
    }

    void ungrabLocked(int id)
    {
        auto it = m_grabs.find(id);
        if (it == m_grabs.end())
            return;
        m_c->clearErrors();
        for (unsigned variant : kLockVariants)
            XUngrabKey(m_c->display(), it->second.keycode, it->second.modifiers | variant,
                       m_c->root());
        m_c->hadError();
        m_grabs.erase(it);
    }

    void listen()
    {
        pollfd fds[2] = {{ConnectionNumber(m_c->display()), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        while (!m_stop) {
            for (int id : takePresses())
                report(id);
            poll(fds, 2, -1);
            if (fds[1].revents & POLLIN) {
                char buffer[64];
                [[maybe_unused]] auto n = read(m_wake[0], buffer, sizeof buffer);
            }
        }
    }

    std::vector<int> takePresses()
    {
        std::vector<int> ids;
        std::lock_guard lock(m_c->mutex());
        while (XPending(m_c->display()) > 0) {
            XEvent event;
            XNextEvent(m_c->display(), &event);
            if (event.type != KeyPress)
                continue;
            const unsigned state = event.xkey.state & ~kLockMask;
            for (const auto& [id, grab] : m_grabs)
                if (grab.keycode == event.xkey.keycode && grab.modifiers == state)
                    ids.push_back(id);
        }
        return ids;
    }

    void report(int id)
    {
        Callback callback;
        {
            std::lock_guard lock(m_callbackMutex);
            callback = m_callback;
        }
        if (callback)
            callback(id);
    }

    QString m_displayName;
    std::mutex m_startMutex;
    bool m_started = false;
    std::unique_ptr<Connection> m_c;
    std::map<int, Grab> m_grabs;
    std::mutex m_callbackMutex;
    Callback m_callback;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_wake[2] = {-1, -1};
};

}  // namespace

std::unique_ptr<HotKeys> makeHotKeys(const QString& displayName)
{
    return std::make_unique<X11HotKeys>(displayName);
}

}  // namespace quillon::platform::x11
