// The window locator's companion for the controls that GTK and Qt draw
// inside one X window (reached through the desktop's accessibility bus).
// It extends the bridge's findchild with the accessible descendants of a
// window and answers gethtxt, sethtxt and sethclick for their handles, which
// never collide with window handles. Stateless beyond the desktop it wraps,
// so several script runs may use it at once.
#pragma once

#include "input/GMWindow.h"
#include "platform/Desktop.h"

#include <QString>

namespace quillon::input {

class ControlLocator {
public:
    explicit ControlLocator(platform::Controls& controls = platform::noControls());

    // True for handles of the control range; they must not be taken for windows.
    static bool Owns(WindowHandle handle) { return platform::isControlHandle(handle); }

    // `windows` (the X children FindChildren found, or its single 0) followed
    // by the accessible descendants of `parent` whose role name or toolkit
    // class contains `fragment` by the locator's fragment rule, depth first.
    // Nothing found at all: the single handle 0.
    arhandle AppendControls(arhandle windows, WindowHandle parent, const QString& fragment);

    // The control's text cut to 255 characters, as a window's text is; empty
    // for a bad or gone handle.
    QString Text(WindowHandle control);
    // Sets an editable control's text up to its first NUL. False when the
    // handle is bad or the control is not editable.
    bool SetText(WindowHandle control, const QString& text);
    // Runs the control's default action. False when there is none.
    bool Click(WindowHandle control);

private:
    platform::Controls& m_controls;
};

}  // namespace quillon::input
