// TDXInput and its devices over the simulated desktop.
#include "input/DXInput.h"
#include "platform/sim/SimDesktop.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>

#include <linux/joystick.h>

#include <gtest/gtest.h>

using namespace quillon;
using input::TDXInputStates;
using input::TKeyboard;

namespace {

class DeviceState : public ::testing::Test {
protected:
    void activateForm(bool active)
    {
        QEvent event(active ? QEvent::WindowActivate : QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&form, &event);
    }
    static TDXInputStates states(std::initializer_list<int> bits)
    {
        TDXInputStates s;
        for (int bit : bits)
            s.set(std::size_t(bit));
        return s;
    }

    QObject form;
    platform::SimDesktop desktop;
};

}  // namespace

TEST_F(DeviceState, MergeAddsAStateOnceAndRemovesItOnceLeavingOtherSourcesAlone)
{
    input::TDXInput dx(&form, desktop);
    dx.setActiveOnly(false);
    dx.Update();
    EXPECT_TRUE(dx.States().none());
    desktop.setKeyDown('K', true);  // assigned to StateUp
    dx.Update();
    EXPECT_EQ(dx.States(), states({input::StateUp}));
    // Something else clears the state while the key stays down: the merge
    // does not put it back, because nothing changed at the device.
    dx.setStates({});
    dx.Update();
    EXPECT_TRUE(dx.States().none());
    // A state another source sets stays while the devices do not report it.
    dx.setStates(states({input::StateLeft}));
    desktop.setKeyDown('K', false);
    dx.Update();
    EXPECT_EQ(dx.States(), states({input::StateLeft}));
    desktop.setKeyDown(0x20, true);  // Space: StateButton1
    dx.Update();
    desktop.setKeyDown(0x20, false);
    dx.Update();
    EXPECT_EQ(dx.States(), states({input::StateLeft}));
}

TEST_F(DeviceState, KeysIsFalseOutsideOneTo255AndUnboundDevicesAddNoStates)
{
    input::TDXInput dx(&form, desktop);
    dx.setActiveOnly(false);
    desktop.setKeyDown(0, true);
    desktop.setKeyDown(255, true);
    desktop.setKeyDown('J', true);
    dx.Keyboard().setBindInputStates(false);
    dx.Update();
    EXPECT_FALSE(dx.Keyboard().Keys(0));
    EXPECT_FALSE(dx.Keyboard().Keys(256));
    EXPECT_FALSE(dx.Keyboard().Keys(-1));
    EXPECT_TRUE(dx.Keyboard().Keys(255));
    EXPECT_TRUE(dx.Keyboard().States()[input::StateDown]);
    EXPECT_TRUE(dx.States().none());
}

TEST_F(DeviceState, WithActiveOnlyNothingIsReadUntilTheFormComesToTheFront)
{
    input::TDXInput dx(&form, desktop);  // ActiveOnly is on by default
    desktop.setKeyDown('A', true);
    dx.Update();
    EXPECT_FALSE(dx.Keyboard().Keys('A'));
    activateForm(true);
    dx.Update();
    EXPECT_TRUE(dx.Keyboard().Keys('A'));
    activateForm(false);
    dx.Update();
    EXPECT_FALSE(dx.Keyboard().Keys('A'));
}

TEST_F(DeviceState, WithoutBackgroundReadingKeysAreSeenOnlyWhileTheFormIsInFront)
{
    input::TDXInput dx(&form, desktop);
    dx.setActiveOnly(false);
    dx.setUseDirectInput(false);
    desktop.setKeyDown('A', true);
    dx.Update();
    EXPECT_FALSE(dx.Keyboard().Keys('A'));
    activateForm(true);
    dx.Update();
    EXPECT_TRUE(dx.Keyboard().Keys('A'));
    // The mouse cannot be had this way.
    dx.Mouse().setEnabled(true);
    EXPECT_FALSE(dx.Mouse().Initialized());
    EXPECT_EQ(dx.Mouse().InitError(), "DirectInput is necessary to use the mouse");
}

TEST_F(DeviceState, AKeyTappedBetweenTwoUpdatesShowsOnceAsDown)
{
    input::TDXInput dx(&form, desktop);
    dx.setActiveOnly(false);
    dx.Update();
    desktop.tapKey(0xDE);
    dx.Update();
    EXPECT_TRUE(dx.Keyboard().Keys(0xDE));
    EXPECT_TRUE(dx.Keyboard().HadTapsOnly());
    dx.Update();
    EXPECT_FALSE(dx.Keyboard().Keys(0xDE));
    EXPECT_FALSE(dx.Keyboard().HadTapsOnly());
    // A tap while input is not read is not kept for later.
    dx.setActiveOnly(true);
    desktop.tapKey(0xDE);
    dx.Update();
    dx.setActiveOnly(false);
    dx.Update();
    EXPECT_FALSE(dx.Keyboard().Keys(0xDE));
}

TEST(KeyAssignments, TheStoredFormIs432LittleEndianBytesAndRoundTrips)
{
    QObject form;
    platform::SimDesktop desktop;
    input::TDXInput dx(&form, desktop);
    TKeyboard& keyboard = dx.Keyboard();
    const QByteArray stored = keyboard.Assigns();
    ASSERT_EQ(stored.size(), 432);
    // StateUp: K, Up, numeric pad 8; StateButton9 (record 12): F2.
    EXPECT_EQ(stored.left(12), QByteArray::fromHex("4b000000" "26000000" "68000000"));
    EXPECT_EQ(stored.mid(12 * 12, 12), QByteArray::fromHex("71000000" "00000000" "00000000"));

    keyboard.SetAssign(input::StateUp, {-2, 0x41, 0x42, 0x43, 0x44});
    EXPECT_EQ(keyboard.Assignments()[input::StateUp], (TKeyboard::Assignment{-2, 0x41, 0x42}));
    keyboard.SetAssign(input::StateDown, {7});
    EXPECT_EQ(keyboard.Assignments()[input::StateDown], (TKeyboard::Assignment{7, 0, 0}));
    const QByteArray changed = keyboard.Assigns();
    EXPECT_EQ(changed.left(4), QByteArray::fromHex("feffffff"));

    input::TDXInput other(&form, desktop);
    EXPECT_TRUE(other.Keyboard().SetAssigns(changed));
    EXPECT_EQ(other.Keyboard().Assigns(), changed);
    EXPECT_FALSE(other.Keyboard().SetAssigns(changed.left(431)));
    EXPECT_FALSE(other.Keyboard().SetAssigns(changed + '\0'));
    EXPECT_EQ(other.Keyboard().Assigns(), changed);  // a refused value changes nothing
}

TEST(KeyAssignments, TheOldMisspeltNameIsReadAndWrittenBackCorrectly)
{
    QObject form;
    platform::SimDesktop desktop;
    input::TDXInput dx(&form, desktop);
    QByteArray value(432, '\0');
    value[0] = 'Q';
    EXPECT_TRUE(dx.Keyboard().ReadProperty("Aissgns", value));
    EXPECT_EQ(dx.Keyboard().Assignments()[input::StateUp][0], 'Q');
    EXPECT_EQ(TKeyboard::AssignsPropertyName(), "Assigns");
    EXPECT_EQ(dx.Keyboard().Assigns(), value);
    EXPECT_FALSE(dx.Keyboard().ReadProperty("Assign", value));
}

TEST(JoystickAxis, DeadZoneAndRangeScaleWithRounding)
{
    using input::TJoystick;
    const struct {
        int p, deadZone, range, expected;
    } cases[] = {
        {32767, 50, 10, 0},    // centre
        {49150, 50, 10, 0},    // inside the dead zone (dead = 16383)
        {65534, 50, 10, 10},   // full deflection
        {0, 50, 10, -10},
        {57342, 50, 10, 5},    // (24575 - 16383) * 10 / 16384 = 5.0
        {53246, 50, 10, 3},    // 4096 * 10 / 16384 = 2.5 rounds away from zero
        {65534, 100, 10, 0},   // a dead zone of 100 % reads nothing
        {65534, 0, 1000, 1000},
        {32768, 0, 1000, 0},   // 1 * 1000 / 32767 rounds to 0
        {32784, 0, 1000, 1},   // 17 * 1000 / 32767 = 0.52 rounds to 1
        {32750, 0, 1000, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TJoystick::ConvertAxis(c.p, 0, 65534, c.deadZone, c.range), c.expected)
            << c.p << " " << c.deadZone;
}

namespace {

// A recording of the joystick driver's events, read like the device.
void writeEvents(const QString& path, const std::vector<js_event>& events)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
    for (const js_event& e : events)
        file.write(reinterpret_cast<const char*>(&e), sizeof e);
}

js_event axis(int number, int value, bool init = false)
{
    return {0, std::int16_t(value), std::uint8_t(JS_EVENT_AXIS | (init ? JS_EVENT_INIT : 0)),
            std::uint8_t(number)};
}

js_event button(int number, bool down)
{
    return {0, std::int16_t(down ? 1 : 0), JS_EVENT_BUTTON, std::uint8_t(number)};
}

}  // namespace

TEST_F(DeviceState, TheJoystickFeedsTheStatesThroughDeadZonesAndRanges)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    writeEvents(dir.filePath("js0"), {axis(0, 0, true), axis(1, 0, true)});
    writeEvents(dir.filePath("js1"), {axis(0, -32767), axis(1, 100), button(3, true)});
    input::TDXInput dx(&form, desktop);
    dx.setActiveOnly(false);
    dx.Joystick().setDeviceDirectory(dir.path());
    dx.Joystick().setRangeX(10);
    dx.Joystick().setID(1);  // the second joystick
    dx.Loaded();
    ASSERT_TRUE(dx.Joystick().Initialized());
    EXPECT_EQ(dx.Joystick().DevicePath(), dir.filePath("js1"));
    dx.Update();
    EXPECT_EQ(dx.Joystick().Joystate().x, -10);
    EXPECT_EQ(dx.Joystick().Joystate().y, 0);  // inside the 50 % dead zone
    EXPECT_TRUE(dx.Joystick().Buttons(3));
    EXPECT_FALSE(dx.Joystick().Buttons(32));
    EXPECT_EQ(dx.States(), states({input::StateLeft, input::stateButton(4)}));
    writeEvents(dir.filePath("js1"), {axis(0, 0), axis(1, 32767), button(3, false)});
    dx.Update();
    EXPECT_EQ(dx.States(), states({input::StateDown}));
}

TEST_F(DeviceState, NoJoystickLeavesTheDeviceUninitialisedAndSilent)
{
    QTemporaryDir dir;
    input::TDXInput dx(&form, desktop);
    dx.Joystick().setDeviceDirectory(dir.path());
    dx.Loaded();
    EXPECT_FALSE(dx.Joystick().Initialized());
    EXPECT_TRUE(dx.Joystick().DevicePath().isEmpty());
    dx.Update();
    EXPECT_TRUE(dx.States().none());
}
