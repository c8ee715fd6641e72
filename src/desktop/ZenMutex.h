// TZenMutex: one copy of the program per user session. The first copy holds
// an exclusive lock named after its window caption in the user's runtime
// folder ($XDG_RUNTIME_DIR, else a private folder of the user's in /tmp); the
// lock goes with the process however it ends. A later copy asks the first,
// through a local socket named after the same key, to bring its window to
// the front (also out of the tray, where a window search cannot see it);
// when the first copy does not answer, it activates the first copy's window
// found by title and class instead. The later copy then ends.
//
// Call it first thing, before the program touches files, the tray, grabs or
// the network: a later copy must leave no trace.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

namespace quillon::desktop {

class TZenMutex : public QObject {
    Q_OBJECT
public:
    explicit TZenMutex(QObject* parent = nullptr);
    ~TZenMutex() override;

    // True in the first copy, which keeps the lock for as long as this
    // object lives. In a later copy it brings the first copy's window (title
    // containing `caption`, class `className`) to the front and answers
    // false; the caller then ends with exit code 0. Needs a Qt application
    // object.
    bool claim(const QString& caption, const QString& className);

    // The form the main window calls: returns only in the first copy, and
    // ends a later copy at once with exit code 0.
    void CheckSingleInstance(const QString& caption, const QString& className);

    // Called on the GUI thread when a later copy asks for the window. Asks
    // that arrived before it was set are answered when it is set.
    void setOnActivate(std::function<void()> handler);

    // The key of a caption: the text after its last "\" or ":", blanks kept.
    static QString keyOf(const QString& caption);
    // The folder holding the lock and the socket (trailing "/"); empty when
    // no private folder can be had.
    static QString runtimeFolder();

    // How long a later copy waits for the first copy's answer.
    static constexpr int kAnswerTimeoutMs = 1500;

private:
    void serve(const QString& socketPath);
    void answer();

    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
    std::function<void()> m_onActivate;
    bool m_pending = false;
};

}  // namespace quillon::desktop
