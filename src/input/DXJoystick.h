// The joystick device of TDXInput, read through the Linux joystick interface
// (/dev/input/js0, js1, ...). ID picks the joystick by its place among those
// present; no joystick at all is the normal case and costs nothing: the
// device stays uninitialised and is never read. Axis positions become the
// directions of the abstract states through the dead zones and ranges, the
// buttons become StateButton1 onwards.
#pragma once

#include "input/DXInputDevices.h"

#include <QString>

#include <array>

namespace quillon::input {

class TJoystick : public TCustomInput {
public:
    struct JoyState {
        int x = 0;
        int y = 0;
        int z = 0;
        std::array<std::uint8_t, 32> buttons{};  // 0x80 = down
    };

    explicit TJoystick(TCustomDXInput& owner);
    ~TJoystick() override;

    bool AutoCenter() const { return m_autoCenter; }
    void setAutoCenter(bool value) { m_autoCenter = value; }
    // Which joystick; a new value initialises the device again.
    int ID() const { return m_id; }
    void setID(int value);
    // Percent 0..100 (clamped); -1 when the joystick has no such axis.
    int DeadZoneX() const { return m_deadZone[0]; }
    int DeadZoneY() const { return m_deadZone[1]; }
    int DeadZoneZ() const { return m_deadZone[2]; }
    void setDeadZoneX(int value) { setDeadZone(0, value); }
    void setDeadZoneY(int value) { setDeadZone(1, value); }
    void setDeadZoneZ(int value) { setDeadZone(2, value); }
    // An axis reads from -range to +range (negatives clamp to 0); -1 when
    // the joystick has no such axis.
    int RangeX() const { return m_range[0]; }
    int RangeY() const { return m_range[1]; }
    int RangeZ() const { return m_range[2]; }
    void setRangeX(int value) { setRange(0, value); }
    void setRangeY(int value) { setRange(1, value); }
    void setRangeZ(int value) { setRange(2, value); }

    // Where joysticks are looked for (default /dev/input); for tests.
    void setDeviceDirectory(const QString& directory) { m_directory = directory; }
    // The device read, empty when none is open.
    const QString& DevicePath() const { return m_path; }

    bool Buttons(int i) const;
    const JoyState& Joystate() const { return m_state; }

    // An axis position p within min..max as the abstract axis reads it: 0
    // inside the dead zone, else scaled to -range..+range, rounded.
    static int ConvertAxis(int p, int min, int max, int deadZone, int range);

    void Finalize() override;
    void Initialize() override;
    void Update() override;

private:
    void setDeadZone(int axis, int value);
    void setRange(int axis, int value);
    void readEvents();

    bool m_autoCenter = true;
    int m_id = 0;
    std::array<int, 3> m_deadZone{50, 50, 50};
    std::array<int, 3> m_range{1000, 1000, 1000};
    QString m_directory = QStringLiteral("/dev/input");
    QString m_path;
    int m_fd = -1;
    std::array<int, 3> m_raw{};  // axis positions as the driver reports them
    std::array<bool, 32> m_rawButtons{};
    JoyState m_state;
};

}  // namespace quillon::input
