#include "HarnessProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>

namespace quillon::desktoptest {

QString harnessPath()
{
    return QStringLiteral(QUILLON_HARNESS);
}

Session::Session()
{
    programDir = root.path() + QStringLiteral("/program");
    runtimeDir = root.path() + QStringLiteral("/runtime");
    configHome = root.path() + QStringLiteral("/config");
    configDirs = root.path() + QStringLiteral("/xdg");
    QDir().mkpath(programDir + QStringLiteral("/tools"));
    QDir().mkpath(programDir + QStringLiteral("/cfg"));
    QDir().mkpath(runtimeDir);
    QFile::setPermissions(runtimeDir, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner);
}

Harness::Harness(const Session& session, const QStringList& args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUILLON_HARNESS_DIR"), session.programDir);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), session.runtimeDir);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), session.configHome);
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), session.configDirs);
    env.remove(QStringLiteral("QUILLON_COUNTER_URL"));
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(session.extra);
    m_process.setProcessEnvironment(env);
    m_process.setProgram(harnessPath());
    m_process.setArguments(args);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

Harness::~Harness()
{
    if (m_process.state() != QProcess::NotRunning) {
        ::kill(pid_t(m_process.processId()), SIGCONT);
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

void Harness::start()
{
    m_process.start();
    m_process.waitForStarted(5000);
}

void Harness::readAvailable()
{
    const QString text = QString::fromUtf8(m_process.readAll());
    m_output += text;
    m_lines = m_output.split(QLatin1Char('\n'));
}

bool Harness::waitForLine(const QString& line, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        readAvailable();
        if (m_lines.contains(line))
            return true;
        if (t.elapsed() > timeoutMs)
            return false;
        if (m_process.state() == QProcess::NotRunning) {
            readAvailable();
            return m_lines.contains(line);
        }
        m_process.waitForReadyRead(50);
    }
}

QString Harness::lineStartingWith(const QString& prefix, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        readAvailable();
        for (const QString& line : m_lines) {
            if (line.startsWith(prefix))
                return line;
        }
        if (t.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
            return {};
        m_process.waitForReadyRead(50);
    }
}

bool Harness::printed(const QString& line)
{
    m_process.waitForReadyRead(0);
    readAvailable();
    return m_lines.contains(line);
}

int Harness::waitForExit(int timeoutMs)
{
    if (!m_process.waitForFinished(timeoutMs) && m_process.state() != QProcess::NotRunning)
        return -1;
    readAvailable();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString Harness::output()
{
    readAvailable();
    return m_output;
}

}  // namespace quillon::desktoptest
