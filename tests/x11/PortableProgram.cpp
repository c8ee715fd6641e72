#include "PortableProgram.h"

#include "TestWindows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>

namespace quillon::x11test {

PortableProgram::PortableProgram(const QString& display, const QString& binary) : m_display(display)
{
    m_binary = m_dir.filePath(QStringLiteral("quillon"));
    QFile::copy(binary, m_binary);
    QFile::setPermissions(m_binary, QFile::permissions(binary));
    QDir(m_dir.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(m_dir.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

PortableProgram::~PortableProgram()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void PortableProgram::write(const QString& name, const QByteArray& bytes)
{
    QDir(m_dir.path()).mkpath(QFileInfo(path(name)).path());
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

void PortableProgram::writeState(const QList<TriggerRow>& rows)
{
    // The first line is not this executable's time: the file comes from
    // another build, and is loaded only because all of it reads well.
    QStringList lines{QStringLiteral("2020-01-01 00:00:00"), "0", "33", "712", "300", "99",
                      QStringLiteral("触发开关键$$$脚本$$$启用(F11全)$$$模式$$$奇匣包配置$$$")};
    for (const TriggerRow& row : rows)
        lines << QStringLiteral("%1$$$%2$$$%3$$$%4$$$ $$$")
                     .arg(row.key, row.script, row.armed ? QStringLiteral("true") : QStringLiteral("false"),
                          row.repeat ? QStringLiteral("重复启动") : QStringLiteral("单线启动"));
    for (qsizetype row = rows.size() + 1; row < 99; ++row)
        lines << QStringLiteral(" $$$ $$$ $$$ $$$ $$$");
    lines << "0";
    write(QStringLiteral("quillonTfrmmain.stat"), (lines.join(QStringLiteral("\r\n")) + "\r\n").toUtf8());
}

void PortableProgram::start(const QProcessEnvironment& extra, const QStringList& args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("QUILLON_DESKTOP"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(extra);
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(QDir::tempPath());
    m_process.start(m_binary, args);
    m_process.waitForStarted(5000);
}

QString PortableProgram::waitWindow(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs && m_process.state() == QProcess::Running) {
        const QString pid = QString::number(m_process.processId());
        const QString found = xdotool(m_display, {"search", "--pid", pid, "--name", "^Quillon $"});
        if (!found.isEmpty())
            return found.section(QLatin1Char('\n'), 0, 0);
        QThread::msleep(50);
    }
    return {};
}

bool PortableProgram::terminate()
{
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(10000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && !xdotool(m_display, {"search", "--name", "^Quillon $"}).isEmpty())
        QThread::msleep(50);
    return true;
}

}  // namespace quillon::x11test
