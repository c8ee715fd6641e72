// `quillon --run` drives the real desktop through the bridge.
#include "TestWindows.h"

#include "input/GMWindow.h"
#include "platform/Desktop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace quillon;
using x11test::Client;
using x11test::xdotool;

using x11test::waitFor;

namespace {

struct RunResult {
    int exitCode = -1;
    QString out;
    QString err;
};

RunResult runScript(const QString& display, const QString& text)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("script.txt"));
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    file.close();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (display.isEmpty())
        env.remove("DISPLAY");
    else
        env.insert("DISPLAY", display);
    process.setProcessEnvironment(env);
    process.start(QUILLON_BINARY, {"--run", file.fileName(), "--section", "down"});
    if (!process.waitForFinished(20000))
        process.kill();
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

TEST(RunScript, FindsAWindowByClassRetitlesItAndTypesIntoTheFocusedWindow)
{
    const QString display = x11test::testDisplay();
    if (display.isEmpty())
        GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
    Client message(display, "xmessage", {"-name", "runprobe", "-title", "Hello run", "hi"});
    ASSERT_NE(message.waitWindow({"--classname", "runprobe"}), 0u);
    Client xev(display, "stdbuf", {"-oL", "xev", "-name", "runxev", "-event", "keyboard"});
    const auto typingTarget = xev.waitWindow({"--name", "runxev"});
    ASSERT_NE(typingTarget, 0u);
    auto desktop = platform::openX11Desktop(display);
    ASSERT_TRUE(desktop);
    input::TGMWindow(desktop->windows()).ActivateWindow(typingTarget);

    const RunResult run = runScript(display, R"(section down
h=findhandle("xmessage")
t=gethtxt(h)
messagebox "title: " & t
sethtxt h,"renamed by a script"
key "h"
key "i"
end section
)");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "title: Hello run\n");
    const QString window = QString::number(message.waitWindow({"--classname", "runprobe"}));
    EXPECT_EQ(xdotool(display, {"getwindowname", window}), "renamed by a script");
    EXPECT_TRUE(waitFor([&] {
        const QString out = xev.output();
        return out.contains("keysym 0x68, h") && out.contains("keysym 0x69, i");
    })) << xev.output().toStdString();
}

TEST(RunScript, WithoutADisplayComputingWorksAndDesktopLinesFail)
{
    const RunResult compute = runScript(QString(), "section down\nmessagebox 6*7\nend section\n");
    EXPECT_EQ(compute.exitCode, 0) << compute.err.toStdString();
    EXPECT_EQ(compute.out, "42\n");

    const RunResult desktop =
        runScript(QString(), "section down\nx=test()\nmessagebox x\nkey \"a\"\nmessagebox \"not reached\"\nend section\n");
    EXPECT_EQ(desktop.exitCode, 1);
    EXPECT_EQ(desktop.out, "500\n");
    EXPECT_TRUE(desktop.err.contains("no X11 display is available")) << desktop.err.toStdString();
}

TEST(RunScript, BadArgumentsFailTheLineWithADescription)
{
    const RunResult run =
        runScript(QString(), "section down\nt=gethtxt(\"abc\")\nmessagebox \"not reached\"\nend section\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains("line 1, column 0: error 5: gethtxt: 'abc' is not a valid integer value"))
        << run.err.toStdString();
}
