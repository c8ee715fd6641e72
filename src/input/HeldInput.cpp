#include "input/HeldInput.h"

#include <algorithm>

namespace quillon::input {

HeldInput::HeldInput(TZenKeybd& keybd, TZeMouse& mouse) : m_keybd(keybd), m_mouse(mouse) {}

void HeldInput::hold(Holder holder, Kind kind, int code)
{
    std::lock_guard lock(m_mutex);
    const bool already = std::any_of(m_held.begin(), m_held.end(), [&](const Held& h) {
        return h.holder == holder && h.kind == kind && h.code == code;
    });
    if (!already)
        m_held.push_back({holder, kind, code});
}

void HeldInput::letGo(Kind kind, int code)
{
    std::lock_guard lock(m_mutex);
    m_held.erase(std::remove_if(m_held.begin(), m_held.end(),
                                [&](const Held& h) { return h.kind == kind && h.code == code; }),
                 m_held.end());
}

platform::Result HeldInput::KeyDown(Holder holder, const QString& name)
{
    platform::Result result = m_keybd.KeyDown(name);
    // An unknown name presses code 0, which needs no release.
    if (const int code = m_keybd.ResolveName(name); result && code != 0)
        hold(holder, Kind::Key, code);
    return result;
}

platform::Result HeldInput::KeyUp(Holder, const QString& name)
{
    platform::Result result = m_keybd.KeyUp(name);
    letGo(Kind::Key, m_keybd.ResolveName(name));
    return result;
}

platform::Result HeldInput::LeftDown(Holder holder)
{
    platform::Result result = m_mouse.LeftDown();
    if (result)
        hold(holder, Kind::LeftButton, 0);
    return result;
}

platform::Result HeldInput::LeftUp(Holder)
{
    platform::Result result = m_mouse.LeftUp();
    letGo(Kind::LeftButton, 0);
    return result;
}

platform::Result HeldInput::RightDown(Holder holder)
{
    platform::Result result = m_mouse.RightDown();
    if (result)
        hold(holder, Kind::RightButton, 0);
    return result;
}

platform::Result HeldInput::RightUp(Holder)
{
    platform::Result result = m_mouse.RightUp();
    letGo(Kind::RightButton, 0);
    return result;
}

void HeldInput::release(const std::vector<Held>& held)
{
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
        switch (it->kind) {
        case Kind::Key:
            m_keybd.KeyUp(m_keybd.CodeToName(it->code));
            break;
        case Kind::LeftButton:
            m_mouse.LeftUp();
            break;
        case Kind::RightButton:
            m_mouse.RightUp();
            break;
        }
    }
}

void HeldInput::ReleaseAll(Holder holder)
{
    std::vector<Held> mine;
    {
        std::lock_guard lock(m_mutex);
        for (const Held& h : m_held)
            if (h.holder == holder)
                mine.push_back(h);
    }
    // Another run may hold the same key: it is up now for everyone.
    for (const Held& h : mine)
        letGo(h.kind, h.code);
    release(mine);
}

void HeldInput::ReleaseEverything()
{
    std::vector<Held> all;
    {
        std::lock_guard lock(m_mutex);
        all.swap(m_held);
    }
    // A key several runs held is released once.
    std::vector<Held> once;
    for (const Held& h : all)
        if (std::none_of(once.begin(), once.end(),
                         [&](const Held& o) { return o.kind == h.kind && o.code == h.code; }))
            once.push_back(h);
    release(once);
}

bool HeldInput::Holds(Holder holder) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_held.begin(), m_held.end(),
                       [&](const Held& h) { return h.holder == holder; });
}

}  // namespace quillon::input
