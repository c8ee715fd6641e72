// The bridge between script lines and the desktop: answers the query words
// of getsys (findhandle, findchild, gethtxt, test) and carries out the
// command words of setsys (key, kdown, kup, mouse, sethtxt, sethclick).
// The main window and `quillon --run` both route their engines' events here.
//
// The parameter text is split at "," (a leading "," is dropped, a blank last
// piece is dropped, pieces are not trimmed); numbers are signed decimal
// integers and window handles travel as decimal text. The bridge keeps no
// state of its own, so several script runs may call it at once.
#pragma once

#include "input/ControlLocator.h"
#include "input/GMWindow.h"
#include "input/HeldInput.h"
#include "input/ZeMouse.h"
#include "input/ZenKeybd.h"

#include <QString>

#include <memory>

namespace quillon::app {

class SysParamBridge {
public:
    SysParamBridge(input::TZenKeybd& keybd, input::TZeMouse& mouse, input::TGMWindow& windows);

    // Answers the query `word` (exact case) from `content`, replacing
    // `content` with the answer; an unknown word leaves it unchanged. False,
    // with the description in *error, when the line must fail: too few
    // pieces, a piece that is not a number, a desktop word the desktop
    // fails (the desktop's own reason: "no X11 display is available").
    bool query(const QString& word, QString& content, QString* error = nullptr);

    // Carries out the command `word` (exact case) with `content`; unknown
    // words and mouse words do nothing. Fails as query() does. With held
    // input set, keys and buttons pressed by kdown and mouse "ldown"/"rdown"
    // are remembered under `holder` (the run's engine) until released.
    bool command(const QString& word, const QString& content, QString* error = nullptr,
                 input::HeldInput::Holder holder = nullptr);
    void setHeldInput(input::HeldInput* held) { m_held = held; }
    // With controls set, findchild also finds the accessible controls inside
    // windows, and gethtxt, sethtxt and sethclick reach them by their handles.
    void setControls(input::ControlLocator* controls) { m_controls = controls; }

private:
    bool findHandle(const QStringList& pieces, QString& content, QString* error);
    bool findChild(const QStringList& pieces, QString& content, QString* error);
    bool mouseAction(const QString& button, QString* error, input::HeldInput::Holder holder);

    input::TZenKeybd& m_keybd;
    input::TZeMouse& m_mouse;
    input::TGMWindow& m_windows;
    input::HeldInput* m_held = nullptr;
    input::ControlLocator* m_controls = nullptr;
};

// A bridge with its own keyboard simulator, mouse simulator and window
// locator over one desktop backend. A desktop that is not there (null is
// taken as one) makes the desktop words fail with its reason.
class DesktopBridge {
public:
    explicit DesktopBridge(std::shared_ptr<platform::Desktop> desktop);
    SysParamBridge& bridge() { return m_bridge; }
    platform::Desktop& desktop() { return *m_desktop; }
    // What the runs using this bridge hold down.
    input::HeldInput& held() { return m_held; }

private:
    std::shared_ptr<platform::Desktop> m_desktop;
    input::TZenKeybd m_keybd;
    input::TZeMouse m_mouse;
    input::TGMWindow m_windows;
    input::HeldInput m_held;
    input::ControlLocator m_controls;
    SysParamBridge m_bridge;
};

}  // namespace quillon::app
