// The real program with its window, started from a temporary portable
// folder on the test display: its window class and caption, the folders it
// makes beside itself, and SIGTERM running the exit command.
#include "TestWindows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using quillon::x11test::testDisplay;
using quillon::x11test::xdotool;

namespace {

// The program copied into a folder of its own, which it treats as its
// portable home, with a private runtime folder so that no other copy running
// on this machine makes it the second instance.
class PortableProgram {
public:
    explicit PortableProgram(const QString& display) : m_display(display)
    {
        m_binary = m_dir.filePath(QStringLiteral("quillon"));
        QFile::copy(QStringLiteral(QUILLON_BINARY), m_binary);
        QFile::setPermissions(m_binary, QFile::permissions(QStringLiteral(QUILLON_BINARY)));
        QDir(m_dir.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(m_dir.filePath(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ~PortableProgram()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString stateFile() const { return path(QStringLiteral("quillonTfrmmain.stat")); }

    void write(const QString& name, const QByteArray& bytes)
    {
        QDir(m_dir.path()).mkpath(QFileInfo(path(name)).path());
        QFile file(path(name));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    void start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.remove(QStringLiteral("QUILLON_DESKTOP"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(QDir::tempPath());
        m_process.start(m_binary, {});
        m_process.waitForStarted(5000);
    }

    // The program's main window, by its caption; empty on time-out.
    QString waitWindow(int timeoutMs = 15000)
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

    QProcess& process() { return m_process; }

    // Sends SIGTERM and waits for the end of the process and then for its
    // windows to leave the display, so later tests never meet them.
    bool terminate()
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

private:
    QString m_display;
    QTemporaryDir m_dir;
    QString m_binary;
    QProcess m_process;
};

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace

TEST(MainWindow, StartsWithItsClassAndCaptionAndEndsInOrderOnSigterm)
{
    const QString display = testDisplay();
    if (display.isEmpty())
        GTEST_SKIP() << "no test display";
    PortableProgram program(display);
    program.start();
    const QString window = program.waitWindow();
    ASSERT_FALSE(window.isEmpty()) << "no window titled \"Quillon \"";

    const QString wmClass = run(QStringLiteral("xprop"), {"-display", display, "-id", window, "WM_CLASS"});
    EXPECT_TRUE(wmClass.endsWith(QStringLiteral("\"quillon\", \"Tfrmmain\""))) << wmClass.toStdString();
    const QString geometry = xdotool(display, {"getwindowgeometry", window});
    EXPECT_TRUE(geometry.contains(QStringLiteral("712x394"))) << geometry.toStdString();
    for (const char* dir : {"plugin/COM", "plugin/DLL", "script", "pkg", "tools", "cfg"})
        EXPECT_TRUE(QDir(program.path(QString::fromLatin1(dir))).exists()) << dir;

    ASSERT_TRUE(program.terminate()) << "SIGTERM did not end the program";
    EXPECT_EQ(program.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.process().exitCode(), 0);
}

TEST(MainWindow, RestoresItsTableArmsItAfterStartUpAndSavesItOnSigterm)
{
    const QString display = testDisplay();
    if (display.isEmpty())
        GTEST_SKIP() << "no test display";
    PortableProgram program(display);
    program.write(QStringLiteral("script/box.txt"),
                  "section down\r\nmessagebox \"restored\"\r\nend section\r\nsection up\r\n\r\nend section\r\n");
    // A state file written by another build (its first line is not this
    // executable's time), holding one armed row and one disarmed row.
    QStringList lines{QStringLiteral("2020-01-01 00:00:00"), "0", "33", "712", "300", "99",
                      QStringLiteral("触发开关键$$$脚本$$$启用(F11全)$$$模式$$$奇匣包配置$$$"),
                      QStringLiteral("F7$$$./script/box.txt$$$true$$$单线启动$$$ $$$"),
                      QStringLiteral("F8$$$./script/box.txt$$$false$$$重复启动$$$ $$$")};
    for (int row = 3; row < 99; ++row)
        lines << QStringLiteral(" $$$ $$$ $$$ $$$ $$$");
    lines << "0";
    program.write(QStringLiteral("quillonTfrmmain.stat"), (lines.join(QStringLiteral("\r\n")) + "\r\n").toUtf8());

    program.start();
    const QString window = program.waitWindow();
    ASSERT_FALSE(window.isEmpty()) << "no window titled \"Quillon \"";
    // F7 is armed about half a second after start-up: then it runs the
    // row's script, whose box shows.
    QElapsedTimer clock;
    clock.start();
    QString box;
    while (box.isEmpty() && clock.elapsed() < 10000) {
        QThread::msleep(200);
        xdotool(display, {"key", "F7"});
        QThread::msleep(100);
        box = xdotool(display, {"search", "--pid", QString::number(program.process().processId()), "--name", "^zemath$"});
    }
    EXPECT_FALSE(box.isEmpty()) << "pressing F7 never showed the restored row's box";

    ASSERT_TRUE(program.terminate()) << "SIGTERM did not end the program";
    EXPECT_EQ(program.process().exitCode(), 0);
    QFile saved(program.stateFile());
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QStringList savedLines = QString::fromUtf8(saved.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_GE(savedLines.size(), 106);
    EXPECT_NE(savedLines[0], QStringLiteral("2020-01-01 00:00:00")) << "line 1 is this executable's time again";
    EXPECT_EQ(savedLines[5], "99");
    EXPECT_EQ(savedLines[7], QStringLiteral("F7$$$./script/box.txt$$$true$$$单线启动$$$ $$$"))
        << "saved before the exit's stop-key press disarmed it";
    EXPECT_EQ(savedLines[8], QStringLiteral("F8$$$./script/box.txt$$$false$$$重复启动$$$ $$$"));
}
