// The stand-in main window (DesktopHarness.cpp) as a real process of the
// test's own: a private program folder, runtime folder and XDG folders per
// test, its standard output read line by line.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace quillon::desktoptest {

// The folders one test's copies share: a program folder and the session's
// runtime and XDG folders.
struct Session {
    Session();
    QTemporaryDir root;
    QString programDir;
    QString runtimeDir;
    QString configHome;
    QString configDirs;
    // Added to every copy's environment (DISPLAY, QT_QPA_PLATFORM ...).
    QProcessEnvironment extra;
};

class Harness {
public:
    explicit Harness(const Session& session, const QStringList& args = {});
    ~Harness();

    void start();
    // Waits for a line of output equal to `line`; false on time-out or when
    // the process ended without printing it.
    bool waitForLine(const QString& line, int timeoutMs = 10000);
    // The first line of output starting with `prefix` (waited for); empty on
    // time-out.
    QString lineStartingWith(const QString& prefix, int timeoutMs = 10000);
    // True when `line` was printed so far.
    bool printed(const QString& line);
    // Waits for the process to end; its exit code, or -1 on time-out / crash.
    int waitForExit(int timeoutMs = 10000);
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }
    QString output();
    QProcess& process() { return m_process; }

private:
    void readAvailable();

    QProcess m_process;
    QString m_output;
    QStringList m_lines;
};

QString harnessPath();

}  // namespace quillon::desktoptest
