#include "input/ZenHotKey.h"

#include <QHash>

#include <algorithm>
#include <mutex>

namespace quillon::input {
namespace {

constexpr int kFirstAtom = 0xC000;
constexpr int kAtomCount = 0x4000;

// The process's atom table: atoms are never deleted, so a name keeps its
// number for the life of the process.
std::mutex g_atomMutex;
QHash<QString, int> g_atoms;

}  // namespace

// Carries presses from the desktop's thread to the component's thread, and
// stops carrying them the moment the component goes.
class TZenHotKey::Relay {
public:
    explicit Relay(TZenHotKey* component) : m_component(component) {}
    void detach()
    {
        std::lock_guard lock(m_mutex);
        m_component = nullptr;
    }
    void relay(int platformId)
    {
        std::lock_guard lock(m_mutex);
        if (m_component)
            QMetaObject::invokeMethod(
                m_component, [c = m_component, platformId] { c->pressed(platformId); },
                Qt::QueuedConnection);
    }

private:
    std::mutex m_mutex;
    TZenHotKey* m_component;
};

TZenHotKey::TZenHotKey(platform::HotKeys& hotKeys, QObject* owner)
    : QObject(owner), m_hotKeys(hotKeys), m_relay(std::make_shared<Relay>(this))
{
    m_hotKeys.setCallback([relay = m_relay](int platformId) { relay->relay(platformId); });
}

TZenHotKey::~TZenHotKey()
{
    m_relay->detach();
    for (const Grab& grab : m_grabs)
        m_hotKeys.ungrab(grab.platformId);
}

int TZenHotKey::AtomId(const QString& name)
{
    std::lock_guard lock(g_atomMutex);
    const QString key = name.toCaseFolded();
    if (auto it = g_atoms.constFind(key); it != g_atoms.constEnd())
        return it.value();
    if (g_atoms.size() >= kAtomCount)
        return -1;
    const int id = int(g_atoms.size());
    g_atoms.insert(key, id);
    return id;
}

void TZenHotKey::Add(int modifiers, int code, const QString& name)
{
    Registration registration{modifiers, code, AtomId(name), name, {}};
    m_registrations.push_back(registration);
    grabFor(registration);
}

void TZenHotKey::grabFor(const Registration& registration)
{
    auto it = std::find_if(m_grabs.begin(), m_grabs.end(), [&](const Grab& grab) {
        return grab.modifiers == registration.modifiers && grab.code == registration.code;
    });
    if (it == m_grabs.end())
        it = m_grabs.insert(m_grabs.end(), {registration.modifiers, registration.code,
                                            m_nextPlatformId++, false});
    if (it->held)
        return;
    // Asked again for every registration while refused: a key another
    // program held when the combination was first registered may have been
    // let go since.
    const platform::Result result =
        m_hotKeys.grab(it->platformId, registration.modifiers, registration.code);
    it->held = result.ok();
    if (!result && OnGrabRefused)
        OnGrabRefused(registration.name, registration.code, result.error());
}

void TZenHotKey::Remove(const QString& name)
{
    std::vector<Registration> kept;
    std::vector<Registration> removed;
    for (Registration& r : m_registrations)
        (r.name == name ? removed : kept).push_back(std::move(r));
    m_registrations = std::move(kept);
    for (const Registration& r : removed) {
        const bool stillUsed = std::any_of(
            m_registrations.begin(), m_registrations.end(),
            [&](const Registration& other) { return other.modifiers == r.modifiers && other.code == r.code; });
        auto it = std::find_if(m_grabs.begin(), m_grabs.end(), [&](const Grab& grab) {
            return grab.modifiers == r.modifiers && grab.code == r.code;
        });
        if (!stillUsed && it != m_grabs.end()) {
            m_hotKeys.ungrab(it->platformId);
            m_grabs.erase(it);
        }
    }
}

void TZenHotKey::pressed(int platformId)
{
    auto grab = std::find_if(m_grabs.begin(), m_grabs.end(),
                             [&](const Grab& g) { return g.platformId == platformId; });
    if (grab == m_grabs.end())
        return;
    const int modifiers = grab->modifiers;
    const int code = grab->code;
    // A copy: a handler may add or remove registrations.
    const std::vector<Registration> registrations = m_registrations;
    for (const Registration& r : registrations) {
        if (r.modifiers != modifiers || r.code != code)
            continue;
        if (OnHotKeyDown)
            OnHotKeyDown(r.name, r.id);
        else if (r.handler)
            r.handler();
    }
}

}  // namespace quillon::input
