// The message boxes of script runs: the messagebox command and the host's
// MsgBox. A box is a real window on the GUI thread; the run's thread waits
// for it while the window, the table and every other run go on. Boxes do not
// nest: each is shown without a modal loop of its own, so several runs may
// each have a box open and each box closes on its own.
//
// A run that is stopped while its box is open closes the box (as if OK was
// pressed), so the stop key and the exit command never wait on a box.
#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace quillon::script {
class TScripert;
}

namespace quillon::app {

// The caption of a box whose script gave none.
inline constexpr const char* kScriptBoxCaption = "zemath";

class ScriptBoxes : public QObject {
    Q_OBJECT
public:
    // Boxes are shown on the thread of `gui` (the main window); they have no
    // owner window.
    explicit ScriptBoxes(QObject* gui);
    ~ScriptBoxes() override;

    // Shows `prompt` with VBScript's `buttons` (0 OK, 1 OK/Cancel, 2 Abort/
    // Retry/Ignore, 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel; +16/32/48/64
    // an icon) and waits, on a run's thread, until the user closes the box or
    // `engine`'s stop is requested. Returns the button as VBScript numbers
    // them (1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No); 1 when
    // the box was closed by a stop or could not be shown. On the GUI thread
    // itself it returns 1 at once without a box: a box there would have to
    // run a modal loop.
    int show(const QString& prompt, int buttons, const QString& title, const script::TScripert* engine);

    // Boxes open now (GUI thread).
    int openCount() const { return m_open; }

signals:
    // A box was shown (GUI thread); tests and the window's status read it.
    void opened();

private:
    QObject* m_gui;
    int m_open = 0;
};

}  // namespace quillon::app
