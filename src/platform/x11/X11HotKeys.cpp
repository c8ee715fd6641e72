// System-wide hot keys through XGrabKey on the root window. The grabs live on
// a connection of their own, read by a listener thread that reports each
// press through the callback. The lock keys must not defeat a hot key, so
// every combination of CapsLock, NumLock and ScrollLock is grabbed as well,
// with the bits the modifier map gives those keys; when the keyboard map
// changes, every grab is made again with the new keycodes and bits.
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyMap.h"

#include <X11/Xlib.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <thread>
#include <tuple>

namespace quillon::platform::x11 {
namespace {

struct Grab {
    int vk = 0;
    unsigned modifiers = 0;  // X modifier bits, without the lock bits
    KeyCode keycode = 0;     // 0 while the key is not on the keyboard
    bool held = false;       // the server granted it
    bool operator<(const Grab& other) const
    {
        return std::tie(keycode, modifiers) < std::tie(other.keycode, other.modifiers);
    }
};

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

    Result grab(int id, int modifiers, int vk) override
    {
        if (!start())
            return Result::failure(QString::fromLatin1(kNoDisplayError));
        Result result = Result::success();
        {
            std::lock_guard lock(m_c->mutex());
            ungrabLocked(id);
            Grab grab{vk, xModifiers(modifiers), KeyCode(m_map.keycode(vk)), false};
            result = acquireLocked(grab);
            m_grabs[id] = grab;
        }
        wake();
        return result;
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
        {
            std::lock_guard lock(m_c->mutex());
            m_map.load(m_c->display());
            XSelectInput(m_c->display(), m_c->root(), KeyPressMask);
        }
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

    bool heldByAnotherId(const Grab& grab) const
    {
        for (const auto& [id, other] : m_grabs)
            if (other.held && other.keycode == grab.keycode && other.modifiers == grab.modifiers)
                return true;
        return false;
    }

    // Takes the key from the server unless another of our ids has it already
    // (a second XGrabKey by the same client would succeed, but releasing one
    // id would then release the key for both).
    Result acquireLocked(Grab& grab)
    {
        if (grab.keycode == 0)
            return Result::failure(QStringLiteral("the key is not on this keyboard"));
        if (heldByAnotherId(grab)) {
            grab.held = true;
            return Result::success();
        }
        m_c->clearErrors();
        for (unsigned variant : m_map.lockVariants())
            XGrabKey(m_c->display(), grab.keycode, grab.modifiers | variant, m_c->root(), False,
                     GrabModeAsync, GrabModeAsync);
        if (m_c->hadError()) {  // BadAccess: another client holds the key
            releaseLocked(grab);
            return Result::failure(QStringLiteral("another program holds the key"));
        }
        grab.held = true;
        return Result::success();
    }

    void releaseLocked(const Grab& grab)
    {
        m_c->clearErrors();
        for (unsigned variant : m_map.lockVariants())
            XUngrabKey(m_c->display(), grab.keycode, grab.modifiers | variant, m_c->root());
        m_c->hadError();
    }

    void ungrabLocked(int id)
    {
        auto it = m_grabs.find(id);
        if (it == m_grabs.end())
            return;
        const Grab grab = it->second;
        m_grabs.erase(it);
        if (grab.held && !heldByAnotherId(grab))
            releaseLocked(grab);
    }

    // A new keyboard map may move keys to other keycodes and the lock keys
    // to other modifier bits: then every grab is released and made again.
    // Most announcements change nothing the grabs use (xdotool, for one,
    // binds keys of its own now and then), and those leave the grabs alone,
    // so no press slips through between a release and a new grab.
    void remapLocked()
    {
        KeyMap next;
        next.load(m_c->display());
        bool moved = next.lockVariants() != m_map.lockVariants();
        for (const auto& [id, grab] : m_grabs)
            moved = moved || next.keycode(grab.vk) != grab.keycode;
        if (!moved) {
            m_map = next;
            return;
        }
        std::map<Grab, bool> released;
        for (auto& [id, grab] : m_grabs) {
            if (grab.held && !released[grab])
                releaseLocked(grab);
            released[grab] = true;
            grab.held = false;
        }
        m_map = next;
        for (auto& [id, grab] : m_grabs) {
            grab.keycode = KeyCode(m_map.keycode(grab.vk));
            acquireLocked(grab);
        }
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
        bool remapped = false;
        while (XPending(m_c->display()) > 0) {
            XEvent event;
            XNextEvent(m_c->display(), &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                remapped = true;
                continue;
            }
            if (event.type != KeyPress)
                continue;
            const unsigned state = event.xkey.state & ~m_map.allLockMasks();
            for (const auto& [id, grab] : m_grabs)
                if (grab.held && grab.keycode == event.xkey.keycode && grab.modifiers == state)
                    ids.push_back(id);
        }
        if (remapped)
            remapLocked();
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
    KeyMap m_map;
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
