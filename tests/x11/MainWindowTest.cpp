// The real program with its window, started from a temporary portable
// folder on the test display: its window class and caption, the folders it
// makes beside itself, and SIGTERM running the exit command.
#include "PortableProgram.h"
#include "TestWindows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

using quillon::x11test::PortableProgram;
using quillon::x11test::testDisplay;
using quillon::x11test::xdotool;

namespace {

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
    PortableProgram program(display, QStringLiteral(QUILLON_BINARY));
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
    PortableProgram program(display, QStringLiteral(QUILLON_BINARY));
    program.write(QStringLiteral("script/box.txt"),
                  "section down\r\nmessagebox \"restored\"\r\nend section\r\nsection up\r\n\r\nend section\r\n");
    // A state file written by another build, holding one armed row and one
    // disarmed row.
    program.writeState({{"F7", "./script/box.txt", true, false}, {"F8", "./script/box.txt", false, true}});

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
