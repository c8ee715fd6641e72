// The devices of TDXInput (DXInput.h): the keyboard and the mouse here, the
// joystick in DXJoystick.h. Each device is read on demand by its owner's
// Update and reports its own set of abstract states; the owner merges the
// sets of the devices whose BindInputStates is on.
//
// The keyboard reads the global key state of the desktop, which sees every
// key whatever window has the focus and whether or not the key is grabbed.
// With a key watch from the desktop it also reports a key that went down
// and up again since the last update, and a held key that went up and down
// again, so no press and no release is lost between polls.
// Every physical key has its own virtual-key code (the desktop's key map
// decides); the generic modifier codes are down with either hand's key.
#pragma once

#include "input/DXInputStates.h"
#include "platform/Desktop.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace quillon::input {

class TCustomDXInput;

class TCustomInput {
public:
    TCustomInput(TCustomDXInput& owner, int buttonCount);
    virtual ~TCustomInput();
    TCustomInput(const TCustomInput&) = delete;
    TCustomInput& operator=(const TCustomInput&) = delete;

    // Whether the owner merges this device's states (default true).
    bool BindInputStates() const { return m_bindInputStates; }
    void setBindInputStates(bool value) { m_bindInputStates = value; }
    // Setting Enabled or ForceFeedback initialises the device again (once
    // the owner has been loaded). Force feedback is stored; nothing plays.
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool value);
    bool ForceFeedback() const { return m_forceFeedback; }
    void setForceFeedback(bool value);

    bool Initialized() const { return m_initialized; }
    int ButtonCount() const { return m_buttonCount; }
    const TDXInputStates& States() const { return m_states; }
    // Why the last initialise left the device unusable; empty when it did not.
    const QString& InitError() const { return m_initError; }

    // Releases what the device holds and clears its states.
    virtual void Finalize();
    // Finalises, then makes the device ready when it is enabled.
    virtual void Initialize() = 0;
    // Reads the device afresh.
    virtual void Update() = 0;

protected:
    // False while ActiveOnly is on and the owner's form is not in front.
    bool readingAllowed() const;

    TCustomDXInput& m_owner;
    TDXInputStates m_states;
    bool m_initialized = false;
    int m_buttonCount;
    int m_defaultButtonCount;
    QString m_initError;

private:
    void reinitialize();

    bool m_bindInputStates = true;
    bool m_enabled = true;
    bool m_forceFeedback = false;
};

class TKeyboard : public TCustomInput {
public:
    using Assignment = std::array<int, 3>;  // up to three key codes; 0 = none
    using AssignTable = std::array<Assignment, kInputStateCount>;

    explicit TKeyboard(TCustomDXInput& owner);
    ~TKeyboard() override;

    // True when `code` is 1..255 and its key is down; false for any other code.
    bool Keys(int code) const;
    // The key-state array of the last update (0x80 = down).
    const platform::KeyState& KeyStates() const { return m_keys; }
    // Whether the last update showed a key only because it was pressed and
    // released since the one before: the next update will show it up.
    bool HadTapsOnly() const { return m_tapsOnly; }
    // True when the key was down at the last update and is down now (or
    // shown down as a tap), but went up in between: a release and a new
    // press that no read of the key state could see.
    bool Bounced(int code) const;
    // Whether the desktop reports key events to the keyboard as they happen.
    bool Watching() const { return m_watch != nullptr; }

    const AssignTable& Assignments() const { return m_assigns; }
    // Clears the state's three codes, then takes at most three from `codes`.
    void SetAssign(TDXInputState state, const std::vector<int>& codes);
    static AssignTable DefaultAssigns();

    // The stored form of the assignment table: 432 bytes, 36 records of
    // three little-endian signed 32-bit codes. SetAssigns takes exactly that
    // size and refuses anything else (false, table unchanged).
    QByteArray Assigns() const;
    bool SetAssigns(const QByteArray& data);
    // The property the table is stored under, always "Assigns"; reading also
    // accepts the old misspelling "Aissgns". False for other names.
    static QString AssignsPropertyName();
    bool ReadProperty(const QString& name, const QByteArray& value);

    void Finalize() override;
    void Initialize() override;
    void Update() override;

private:
    void mergeChanges(std::size_t vk, bool wasDown, bool wasTap, const platform::KeyChanges& changes);
    void mergeGenericModifiers(const platform::KeyState& before);

    platform::KeyState m_keys{};
    AssignTable m_assigns;
    std::unique_ptr<platform::KeyWatch> m_watch;
    std::array<bool, 256> m_tapped{};   // shown down only because of a tap
    std::array<bool, 256> m_bounced{};  // see Bounced
    bool m_tapsOnly = false;
};

// The mouse device: buttons and movement since the last update. Created
// disabled and unbound; it needs the desktop's background reading.
class TMouse : public TCustomInput {
public:
    struct MouseState {
        int x = 0;  // movement since the last update
        int y = 0;
        int z = 0;
        std::array<std::uint8_t, 4> buttons{};
    };

    explicit TMouse(TCustomDXInput& owner);

    // True when button `i` (0 left, 1 right, 2 middle) is down; false from 32 on.
    bool Buttons(int i) const;
    const MouseState& LastState() const { return m_state; }

    void Finalize() override;
    void Initialize() override;
    void Update() override;

private:
    MouseState m_state;
    std::optional<platform::Point> m_lastPosition;
};

}  // namespace quillon::input
