#include "input/DXInputDevices.h"

#include "input/DXInput.h"

#include <QtEndian>

namespace quillon::input {
namespace {

constexpr int kAssignsBytes = kInputStateCount * 3 * 4;
constexpr int kMouseButtonKeys[3] = {0x01, 0x02, 0x04};  // left, right, middle

}  // namespace

TCustomInput::TCustomInput(TCustomDXInput& owner, int buttonCount)
    : m_owner(owner), m_buttonCount(0), m_defaultButtonCount(buttonCount)
{
}

TCustomInput::~TCustomInput() = default;

void TCustomInput::setEnabled(bool value)
{
    m_enabled = value;
    reinitialize();
}

void TCustomInput::setForceFeedback(bool value)
{
    m_forceFeedback = value;
    reinitialize();
}

void TCustomInput::reinitialize()
{
    if (!m_owner.Loading())
        Initialize();
}

void TCustomInput::Finalize()
{
    m_initialized = false;
    m_buttonCount = 0;
    m_states.reset();
    m_initError.clear();
}

bool TCustomInput::readingAllowed() const
{
    return !m_owner.ActiveOnly() || m_owner.FormIsForeground();
}

TKeyboard::TKeyboard(TCustomDXInput& owner) : TCustomInput(owner, 32), m_assigns(DefaultAssigns())
{
}

TKeyboard::~TKeyboard() = default;

TKeyboard::AssignTable TKeyboard::DefaultAssigns()
{
    AssignTable table{};
    table[StateUp] = {75, 38, 104};     // K, Up, numeric pad 8
    table[StateDown] = {74, 40, 98};    // J, Down, numeric pad 2
    table[StateLeft] = {72, 37, 100};   // H, Left, numeric pad 4
    table[StateRight] = {76, 39, 102};  // L, Right, numeric pad 6
    table[stateButton(1)] = {90, 32, 0};  // Z, Space
    table[stateButton(2)] = {88, 13, 0};  // X, Enter
    table[stateButton(9)] = {113, 0, 0};  // F2
    return table;
}

void TKeyboard::SetAssign(TDXInputState state, const std::vector<int>& codes)
{
    if (state < 0 || state >= kInputStateCount)
        return;
    Assignment& entry = m_assigns[std::size_t(state)];
    entry = {0, 0, 0};
    for (std::size_t i = 0; i < codes.size() && i < entry.size(); ++i)
        entry[i] = codes[i];
}

QByteArray TKeyboard::Assigns() const
{
    QByteArray data(kAssignsBytes, '\0');
    char* out = data.data();
    for (const Assignment& entry : m_assigns)
        for (int code : entry) {
            qToLittleEndian<qint32>(code, out);
            out += 4;
        }
    return data;
}

bool TKeyboard::SetAssigns(const QByteArray& data)
{
    if (data.size() != kAssignsBytes)
        return false;
    const char* in = data.constData();
    for (Assignment& entry : m_assigns)
        for (int& code : entry) {
            code = qFromLittleEndian<qint32>(in);
            in += 4;
        }
    return true;
}

QString TKeyboard::AssignsPropertyName()
{
    return QStringLiteral("Assigns");
}

bool TKeyboard::ReadProperty(const QString& name, const QByteArray& value)
{
    // Files written long ago carry the table under a misspelt name.
    if (name != AssignsPropertyName() && name != QLatin1String("Aissgns"))
        return false;
    return SetAssigns(value);
}

bool TKeyboard::Keys(int code) const
{
    return code >= 1 && code <= 255 && m_keys[std::size_t(code)] >= 0x80;
}

void TKeyboard::Finalize()
{
    TCustomInput::Finalize();
    m_watch.reset();
    m_keys.fill(0);
    m_tapped = {};
    m_bounced = {};
    m_tapsOnly = false;
}

void TKeyboard::Initialize()
{
    Finalize();
    if (!Enabled())
        return;
    // The background reading sees every key; a watch adds the ones that
    // went down and up again between two updates.
    if (m_owner.UseDirectInput())
        m_watch = m_owner.Desktop().keyEvents().watch(m_owner.KeyEventWake());
    m_buttonCount = m_defaultButtonCount;
    m_initialized = true;
}

void TKeyboard::Update()
{
    const platform::KeyState before = m_keys;
    const std::array<bool, 256> tappedBefore = m_tapped;
    m_keys.fill(0);
    m_states.reset();
    m_tapped = {};
    m_bounced = {};
    m_tapsOnly = false;
    platform::KeyChanges changes;
    if (m_watch)
        m_watch->takeChanges(changes);  // taken even when not read: they are old by the next read
    if (!m_initialized || !readingAllowed())
        return;
    if (!m_owner.UseDirectInput() && !m_owner.FormIsForeground())
        return;
    m_owner.Desktop().keyboard().readKeyState(m_keys);
    for (std::size_t vk = 1; vk < m_keys.size(); ++vk)
        mergeChanges(vk, before[vk] != 0, tappedBefore[vk], changes);
    mergeGenericModifiers(before);
    for (int state = 0; state < kInputStateCount; ++state)
        for (int code : m_assigns[std::size_t(state)])
            if (Keys(code)) {
                m_states.set(std::size_t(state));
                break;
            }
}

void TKeyboard::mergeChanges(std::size_t vk, bool wasDown, bool wasTap, const platform::KeyChanges& changes)
{
    // A key shown only as a tap last time went up right after: that release
    // comes before everything heard since.
    const bool released = changes.released[vk] || wasTap;
    const bool pressedAgain = wasTap ? changes.pressed[vk] : changes.pressedAfterRelease[vk];
    if (m_keys[vk]) {
        // Down at both reads, but it went up in between: the press now is a
        // new one. (Its press may still be on its way; the release is enough.)
        if (wasDown && released)
            m_bounced[vk] = true;
        return;
    }
    // Up now, but it went down since: shown down this once, up the next time.
    // A key that was down only counts a press that followed a release, not
    // the one that made it down.
    if (wasDown ? pressedAgain : changes.pressed[vk]) {
        m_keys[vk] = 0x80;
        m_tapped[vk] = true;
        m_bounced[vk] = wasDown;
        m_tapsOnly = true;
    }
}

void TKeyboard::mergeGenericModifiers(const platform::KeyState& before)
{
    // The generic SHIFT, CTRL and ALT follow either hand's key: down while
    // one is, and released only when neither hand's key stayed down.
    for (auto [generic, left, right] : {std::array<std::size_t, 3>{0x10, 0xA0, 0xA1},
                                        std::array<std::size_t, 3>{0x11, 0xA2, 0xA3},
                                        std::array<std::size_t, 3>{0x12, 0xA4, 0xA5}}) {
        const auto heldThrough = [&](std::size_t vk) { return before[vk] && m_keys[vk] && !m_bounced[vk]; };
        if (heldThrough(left) || heldThrough(right)) {
            m_bounced[generic] = false;
            continue;
        }
        if (m_bounced[left] || m_bounced[right])
            m_bounced[generic] = before[generic] != 0;
        if (!m_keys[generic] && (m_tapped[left] || m_tapped[right])) {
            m_keys[generic] = 0x80;
            m_tapped[generic] = true;
        }
    }
}

bool TKeyboard::Bounced(int code) const
{
    return code >= 1 && code <= 255 && m_bounced[std::size_t(code)];
}

TMouse::TMouse(TCustomDXInput& owner) : TCustomInput(owner, 3)
{
    setBindInputStates(false);
    setEnabled(false);
}

bool TMouse::Buttons(int i) const
{
    return i >= 0 && i < 32 && m_states[std::size_t(stateButton(i + 1))];
}

void TMouse::Finalize()
{
    TCustomInput::Finalize();
    m_state = {};
    m_lastPosition.reset();
}

void TMouse::Initialize()
{
    Finalize();
    if (!Enabled())
        return;
    if (!m_owner.UseDirectInput()) {
        m_initError = QStringLiteral("DirectInput is necessary to use the mouse");
        return;
    }
    m_buttonCount = m_defaultButtonCount;
    m_initialized = true;
}

void TMouse::Update()
{
    m_state = {};
    m_states.reset();
    if (!m_initialized || !readingAllowed())
        return;
    platform::KeyState keys{};
    m_owner.Desktop().keyboard().readKeyState(keys);
    for (int i = 0; i < 3; ++i)
        m_state.buttons[std::size_t(i)] = keys[std::size_t(kMouseButtonKeys[i])];
    if (const auto position = m_owner.Desktop().mouse().cursorPos()) {
        if (m_lastPosition) {
            m_state.x = position->x - m_lastPosition->x;
            m_state.y = position->y - m_lastPosition->y;
        }
        m_lastPosition = position;
    }
    if (m_state.x < 0)
        m_states.set(StateLeft);
    if (m_state.x > 0)
        m_states.set(StateRight);
    if (m_state.y < 0)
        m_states.set(StateUp);
    if (m_state.y > 0)
        m_states.set(StateDown);
    for (int i = 0; i < 3; ++i)
        if (m_state.buttons[std::size_t(i)] & 0x80)
            m_states.set(std::size_t(stateButton(i + 1)));
}

}  // namespace quillon::input
