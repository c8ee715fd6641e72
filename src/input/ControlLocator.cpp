#include "input/ControlLocator.h"

namespace quillon::input {
namespace {

// The same buffers as for windows: 180 bytes to compare, 256 characters to read.
constexpr int kSearchTextBytes = 179;
constexpr int kTextChars = 255;

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
    QString text = m_controls.text(control);
    if (text.size() > kTextChars) {
        const bool splitsPair = text.at(kTextChars - 1).isHighSurrogate();
        text.truncate(kTextChars - (splitsPair ? 1 : 0));
    }
    return text;
}

bool ControlLocator::SetText(WindowHandle control, const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return m_controls.setText(control, nul < 0 ? text : text.left(nul));
}

bool ControlLocator::Click(WindowHandle control)
{
    return m_controls.click(control);
}

}  // namespace quillon::input
