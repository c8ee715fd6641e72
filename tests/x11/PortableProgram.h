// The real program copied into a temporary folder of its own, which it
// treats as its portable home, with a private runtime folder so that no
// other copy running on this machine makes it the second instance. Tests
// and benchmarks prepare its state file and scripts there, start it on a
// display and read what it wrote.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quillon::x11test {

// One row of the trigger table as the state file holds it.
struct TriggerRow {
    QString key;
    QString script;
    bool armed = false;
    bool repeat = false;  // 重复启动, else 单线启动
};

class PortableProgram {
public:
    PortableProgram(const QString& display, const QString& binary);
    // Kills the program if it still runs.
    ~PortableProgram();
    PortableProgram(const PortableProgram&) = delete;
    PortableProgram& operator=(const PortableProgram&) = delete;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString stateFile() const { return path(QStringLiteral("quillonTfrmmain.stat")); }

    // Writes a file below the folder, making its folders.
    void write(const QString& name, const QByteArray& bytes);
    // A state file holding `rows` from row 1 on (the rest empty), written by
    // "another build" so that the program checks it whole before loading.
    void writeState(const QList<TriggerRow>& rows);

    // Starts the program with the display and `extra` in its environment.
    void start(const QProcessEnvironment& extra = {}, const QStringList& args = {});
    // The program's main window, by its caption; empty on time-out.
    QString waitWindow(int timeoutMs = 15000);
    // Sends SIGTERM and waits for the end of the process and then for its
    // windows to leave the display, so later tests never meet them.
    bool terminate();

    QProcess& process() { return m_process; }
    qint64 pid() const { return m_process.processId(); }

private:
    QString m_display;
    QTemporaryDir m_dir;
    QString m_binary;
    QProcess m_process;
};

}  // namespace quillon::x11test
