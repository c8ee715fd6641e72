#include "input/DXJoystick.h"

#include "input/DXInput.h"

#include <QDir>

#include <linux/joystick.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace quillon::input {
namespace {

// The driver reports axes from -32767 to 32767; as a 0-based position that
// is 0 to 65534, the form the conversion expects.
constexpr int kAxisMin = 0;
constexpr int kAxisMax = 65534;
constexpr int kAxisOffset = 32767;

// a * b / c with a 64-bit product, rounded half away from zero.
int mulDiv(long long a, long long b, long long c)
{
    const long long product = a * b;
    long long quotient = product / c;
    const long long remainder = product % c;
    if (2 * std::llabs(remainder) >= std::llabs(c))
        quotient += (product < 0) != (c < 0) ? -1 : 1;
    return int(quotient);
}

// /dev/input/js0, js1, ... in the order of their numbers.
QStringList joystickPaths(const QString& directory)
{
    QStringList paths;
    const QStringList names = QDir(directory).entryList({QStringLiteral("js*")}, QDir::System | QDir::Files);
    std::vector<std::pair<int, QString>> numbered;
    for (const QString& name : names) {
        bool ok = false;
        const int n = name.mid(2).toInt(&ok);
        if (ok)
            numbered.emplace_back(n, name);
    }
    std::sort(numbered.begin(), numbered.end());
    for (const auto& [n, name] : numbered)
        paths << QDir(directory).filePath(name);
    return paths;
}

}  // namespace

TJoystick::TJoystick(TCustomDXInput& owner) : TCustomInput(owner, 0) {}

TJoystick::~TJoystick()
{
    if (m_fd >= 0)
        close(m_fd);
}

void TJoystick::setID(int value)
{
    if (value == m_id)
        return;
    m_id = value;
    if (!m_owner.Loading())
        Initialize();
}

void TJoystick::setDeadZone(int axis, int value)
{
    m_deadZone[std::size_t(axis)] = std::clamp(value, 0, 100);
}

void TJoystick::setRange(int axis, int value)
{
    m_range[std::size_t(axis)] = std::max(value, 0);
}

int TJoystick::ConvertAxis(int p, int min, int max, int deadZone, int range)
{
    const int half = (max - min) / 2;
    const int offset = p - half;
    const int dead = int((long long)half * deadZone / 100);
    if (dead == half || std::abs(offset) <= dead)
        return 0;
    return offset > 0 ? mulDiv(offset - dead, range, half - dead)
                      : mulDiv(offset + dead, range, half - dead);
}

bool TJoystick::Buttons(int i) const
{
    return i >= 0 && i < 32 && m_states[std::size_t(stateButton(i + 1))];
}

void TJoystick::Finalize()
{
    TCustomInput::Finalize();
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_path.clear();
    m_state = {};
    m_raw = {};
    m_rawButtons = {};
}

void TJoystick::Initialize()
{
    Finalize();
    if (!Enabled())
        return;
    const QStringList paths = joystickPaths(m_directory);
    int index = 0;
    for (const QString& path : paths) {
        const int fd = open(path.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (index++ == m_id) {
            m_fd = fd;
            m_path = path;
            break;
        }
        close(fd);
    }
    if (m_fd < 0)
        return;
    unsigned char axes = 3, buttons = 32;
    // A file that is no joystick driver (a test's recording) answers no
    // ioctl; it then counts as three axes and 32 buttons.
    if (ioctl(m_fd, JSIOCGAXES, &axes) < 0 || ioctl(m_fd, JSIOCGBUTTONS, &buttons) < 0) {
        axes = 3;
        buttons = 32;
    }
    for (int axis = int(axes); axis < 3; ++axis) {
        m_deadZone[std::size_t(axis)] = -1;
        m_range[std::size_t(axis)] = -1;
    }
    m_buttonCount = std::min<int>(buttons, 32);
    m_initialized = true;
}

void TJoystick::readEvents()
{
    js_event event;
    for (;;) {
        const ssize_t n = read(m_fd, &event, sizeof event);
        if (n != ssize_t(sizeof event)) {
            // Unplugged: the device is gone until it is initialised again.
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                Finalize();
            return;
        }
        const int type = event.type & ~JS_EVENT_INIT;
        if (type == JS_EVENT_AXIS && event.number < 3)
            m_raw[event.number] = event.value;
        else if (type == JS_EVENT_BUTTON && event.number < 32)
            m_rawButtons[event.number] = event.value != 0;
    }
}

void TJoystick::Update()
{
    m_state = {};
    m_states.reset();
    if (!m_initialized || !readingAllowed())
        return;
    readEvents();
    if (!m_initialized)
        return;
    int* axes[3] = {&m_state.x, &m_state.y, &m_state.z};
    for (int axis = 0; axis < 3; ++axis)
        if (m_range[std::size_t(axis)] >= 0)
            *axes[axis] = ConvertAxis(m_raw[std::size_t(axis)] + kAxisOffset, kAxisMin, kAxisMax,
                                      m_deadZone[std::size_t(axis)], m_range[std::size_t(axis)]);
    for (std::size_t i = 0; i < 32; ++i)
        m_state.buttons[i] = m_rawButtons[i] ? 0x80 : 0;
    if (m_state.x < 0)
        m_states.set(StateLeft);
    if (m_state.x > 0)
        m_states.set(StateRight);
    if (m_state.y < 0)
        m_states.set(StateUp);
    if (m_state.y > 0)
        m_states.set(StateDown);
    for (int i = 0; i < 32; ++i)
        if (m_state.buttons[std::size_t(i)] & 0x80)
            m_states.set(std::size_t(stateButton(i + 1)));
}

}  // namespace quillon::input
