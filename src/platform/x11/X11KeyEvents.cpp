// Key events of the whole desktop through XInput2 raw events on the root
// window. Raw events need no grab, are sent whatever window has the focus,
// and (from XInput 2.1 on) even while another client grabs the key, so a
// press and release that both fall between two reads of the key state are
// still seen, and so is a release and new press of a key held at both
// reads. A connection and listener thread of their own exist from the
// first watch on.
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyMap.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace quillon::platform::x11 {
namespace {

class X11KeyEvents final : public KeyEvents {
public:
    explicit X11KeyEvents(const QString& displayName) : m_displayName(displayName) {}

    ~X11KeyEvents() override
    {
        if (m_thread.joinable()) {
            m_stop = true;
            const char byte = 0;
            [[maybe_unused]] auto written = write(m_wake[1], &byte, 1);
            m_thread.join();
        }
        if (m_wake[0] >= 0) {
            close(m_wake[0]);
            close(m_wake[1]);
        }
    }

    std::unique_ptr<KeyWatch> watch(Wake wake) override
    {
        if (!start())
            return nullptr;
        return std::make_unique<Watch>(*this, std::move(wake));
    }

private:
    class Watch final : public KeyWatch {
    public:
        Watch(X11KeyEvents& owner, Wake wake) : m_owner(owner), m_wake(std::move(wake))
        {
            std::lock_guard lock(m_owner.m_watchMutex);
            m_owner.m_watches.push_back(this);
        }
        ~Watch() override
        {
            std::lock_guard lock(m_owner.m_watchMutex);
            auto& list = m_owner.m_watches;
            list.erase(std::remove(list.begin(), list.end(), this), list.end());
        }
        void takeChanges(KeyChanges& changes) override
        {
            std::lock_guard lock(m_owner.m_watchMutex);
            changes = m_changes;
            for (auto [generic, left, right] : {std::array<int, 3>{0x10, 0xA0, 0xA1},
                                                std::array<int, 3>{0x11, 0xA2, 0xA3},
                                                std::array<int, 3>{0x12, 0xA4, 0xA5}})
                if (changes.pressed[std::size_t(left)] || changes.pressed[std::size_t(right)])
                    changes.pressed[std::size_t(generic)] = true;
            m_changes = {};
        }
        // Called with the owner's watch lock held.
        void heard(int vk, bool down)
        {
            m_changes.add(vk, down);
            if (m_wake)
                m_wake();
        }

    private:
        X11KeyEvents& m_owner;
        Wake m_wake;
        KeyChanges m_changes;
    };

    bool start()
    {
        std::lock_guard lock(m_startMutex);
        if (m_started)
            return m_c != nullptr;
        m_started = true;
        m_c = Connection::open(m_displayName, nullptr);
        if (!m_c || !selectRawKeys() || pipe(m_wake) != 0) {
            m_c.reset();
            return false;
        }
        m_thread = std::thread([this] { listen(); });
        return true;
    }

    bool selectRawKeys()
    {
        std::lock_guard lock(m_c->mutex());
        Display* d = m_c->display();
        int event = 0, error = 0;
        if (!XQueryExtension(d, "XInputExtension", &m_opcode, &event, &error))
            return false;
        int major = 2, minor = 2;
        if (XIQueryVersion(d, &major, &minor) != Success || major < 2)
            return false;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
        m_c->clearErrors();
        XISelectEvents(d, m_c->root(), &mask, 1);
        if (m_c->hadError())
            return false;
        m_map.load(d);
        return true;
    }

    void listen()
    {
        pollfd fds[2] = {{ConnectionNumber(m_c->display()), POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        while (!m_stop) {
            for (const auto& [vk, down] : takeEvents()) {
                std::lock_guard lock(m_watchMutex);
                for (Watch* watch : m_watches)
                    watch->heard(vk, down);
            }
            poll(fds, 2, -1);
        }
    }

    std::vector<std::pair<int, bool>> takeEvents()
    {
        std::vector<std::pair<int, bool>> events;
        std::lock_guard lock(m_c->mutex());
        Display* d = m_c->display();
        bool remapped = false;
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (event.type == MappingNotify) {
                XRefreshKeyboardMapping(&event.xmapping);
                remapped = true;
                continue;
            }
            XGenericEventCookie* cookie = &event.xcookie;
            if (cookie->type != GenericEvent || cookie->extension != m_opcode
                || !XGetEventData(d, cookie))
                continue;
            if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
                const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
                if (remapped) {
                    m_map.load(d);
                    remapped = false;
                }
                events.emplace_back(m_map.virtualKey(unsigned(raw->detail)),
                                    cookie->evtype == XI_RawKeyPress);
            }
            XFreeEventData(d, cookie);
        }
        if (remapped)
            m_map.load(d);
        return events;
    }

    QString m_displayName;
    std::mutex m_startMutex;
    bool m_started = false;
    std::unique_ptr<Connection> m_c;
    int m_opcode = 0;
    KeyMap m_map;
    std::mutex m_watchMutex;
    std::vector<Watch*> m_watches;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    int m_wake[2] = {-1, -1};
};

}  // namespace

std::unique_ptr<KeyEvents> makeKeyEvents(const QString& displayName)
{
    return std::make_unique<X11KeyEvents>(displayName);
}

}  // namespace quillon::platform::x11
