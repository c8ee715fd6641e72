#include "input/ControlLocator.h"

namespace quillon::input {
namespace {

// The same buffer as for windows: 180 bytes to compare.
constexpr int kSearchTextBytes = 179;

}  // namespace

ControlLocator::ControlLocator(platform::Controls& controls) : m_controls(controls) {}

arhandle ControlLocator::AppendControls(arhandle windows, WindowHandle parent, const QString& fragment)
{
    if (windows.size() == 1 && windows.front() == 0)
        windows.clear();
    // An empty fragment never matches, so the bus need not be asked.
    if (!fragment.isEmpty()) {
        for (const platform::ControlInfo& control : m_controls.descendants(parent)) {
            if (fragmentMatches(fragment, cutToBytes(control.roleName, kSearchTextBytes))
                || fragmentMatches(fragment, cutToBytes(control.toolkitClass, kSearchTextBytes)))
                windows.push_back(control.handle);
        }
    }
    if (windows.empty())
        windows.push_back(0);
    return windows;
}

QString ControlLocator::Text(WindowHandle control)
{
    return windowTextCut(m_controls.text(control));
}

bool ControlLocator::SetText(WindowHandle control, const QString& text)
{
    return m_controls.setText(control, untilNul(text));
}

bool ControlLocator::Click(WindowHandle control)
{
    return m_controls.click(control);
}

}  // namespace quillon::input
