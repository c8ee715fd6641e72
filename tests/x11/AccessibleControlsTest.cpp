// The controls of GTK and Qt applications through the accessibility bus: a
// private session bus, the accessibility bus its launcher starts, a real GTK 3
// form (tests/x11/apps/gtk_form.py) and a Qt widget form (qt_form), driven
// through the bridge's words while another window covers the form.
#include "TestWindows.h"

#include "app/SysParamBridge.h"
#include "platform/Desktop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <optional>
#include <utility>
#include <vector>

using namespace quillon;
using x11test::Client;
using x11test::xdotool;

using x11test::waitFor;

namespace {

// Environment variables set for one test and put back after it, so the
// tests that run after it in the same process see the environment they had.
class EnvironmentGuard {
public:
    void set(const char* name, const QByteArray& value)
    {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char* name)
    {
        remember(name);
        qunsetenv(name);
    }
    ~EnvironmentGuard()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

private:
    void remember(const char* name)
    {
        for (const auto& saved : m_saved)
            if (saved.first == name)
                return;
        m_saved.emplace_back(name, qEnvironmentVariableIsSet(name)
                                       ? std::optional<QByteArray>(qgetenv(name))
                                       : std::nullopt);
    }
    std::vector<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};

// A session bus of the test's own, with the accessibility bus started on it
// the way a desktop session starts it. Its environment reaches the apps and
// the bridge through this process's environment.
class AccessibilitySession {
public:
    AccessibilitySession()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // The launcher keeps its socket under the runtime directory.
        env.insert("XDG_RUNTIME_DIR", m_runtime.path());
        m_daemon.setProcessEnvironment(env);
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted(5000))
            return;
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_env.set("DBUS_SESSION_BUS_ADDRESS", m_address.toUtf8());
        m_env.unset("AT_SPI_BUS_ADDRESS");
        m_env.unset("NO_AT_BRIDGE");
        m_env.unset("WAYLAND_DISPLAY");
        m_env.set("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        m_env.set("QT_ACCESSIBILITY", "1");
        m_env.set("QT_QPA_PLATFORM", "xcb");
        // Qt applications join only a bus that is already there: start it.
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, "test-session");
        QDBusMessage ask = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus",
                                                          "org.a11y.Bus", "GetAddress");
        const QDBusMessage reply = bus.call(ask, QDBus::Block, 10000);
        m_ready = reply.type() == QDBusMessage::ReplyMessage;
        m_error = reply.errorMessage();
        QDBusConnection::disconnectFromBus("test-session");
    }
    ~AccessibilitySession()
    {
        // The launcher and the accessibility bus end with their session.
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    bool ready() const { return m_ready; }
    QString error() const { return m_error; }

private:
    EnvironmentGuard m_env;
    QTemporaryDir m_runtime;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
    bool m_ready = false;
};

struct FormApp {
    const char* name;
    QString program;
    QString windowClass;
};

void PrintTo(const FormApp& app, std::ostream* out)
{
    *out << app.name << " form";
}

FormApp gtkForm() { return {"Gtk", "/usr/bin/python3", "GtkForm"}; }
FormApp qtForm() { return {"Qt", QUILLON_QT_FORM, "qt_form"}; }

QStringList formArgs(const FormApp& app, const QString& title)
{
    if (app.windowClass == "GtkForm")
        return {QUILLON_GTK_FORM, title};
    return {title};
}

class AccessibleControls : public ::testing::TestWithParam<FormApp> {
protected:
    void SetUp() override
    {
        display = x11test::testDisplay();
        if (display.isEmpty())
            GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
        session = std::make_unique<AccessibilitySession>();
        ASSERT_TRUE(session->ready()) << "no accessibility bus: " << session->error().toStdString();
        env.set("DISPLAY", display.toUtf8());
        desktop = platform::openX11Desktop(display);
        ASSERT_TRUE(desktop);
        kit = std::make_unique<app::DesktopBridge>(desktop);
    }
    void TearDown() override
    {
        kit.reset();
        desktop.reset();
        session.reset();
    }

    QString ask(const QString& word, const QString& content)
    {
        QString text = content;
        QString error;
        EXPECT_TRUE(kit->bridge().query(word, text, &error)) << error.toStdString();
        return text;
    }
    void run(const QString& word, const QString& content)
    {
        QString error;
        EXPECT_TRUE(kit->bridge().command(word, content, &error)) << error.toStdString();
    }
    // findchild(parent, fragment, index) as a script line asks it.
    QString findChild(const QString& parent, const QString& fragment, int index = 0)
    {
        return ask("findchild", "," + parent + "," + fragment + "," + QString::number(index) + ",x");
    }
    // The application publishes its controls a moment after its window shows.
    QString waitChild(const QString& parent, const QString& fragment)
    {
        QString found;
        waitFor([&] {
            found = findChild(parent, fragment);
            return found != "0";
        });
        return found;
    }

    QString display;
    EnvironmentGuard env;
    std::unique_ptr<AccessibilitySession> session;
    std::shared_ptr<platform::Desktop> desktop;
    std::unique_ptr<app::DesktopBridge> kit;
};

}  // namespace

TEST_P(AccessibleControls, AFormIsFilledAndSubmittedUnderACoveringWindowWithoutThePointer)
{
    const FormApp app = GetParam();
    const QString title = QStringLiteral("Quillon %1 form").arg(app.name);
    Client form(display, app.program, formArgs(app, title));
    const auto formWindow = form.waitWindow({"--classname", app.windowClass});
    ASSERT_NE(formWindow, 0u) << form.output().toStdString();
    const QString h = QString::number(formWindow);

    const QString entry = waitChild(h, "text");
    ASSERT_NE(entry, "0") << form.output().toStdString();
    const QString button = findChild(h, "push button");
    const QString label = findChild(h, "label");
    ASSERT_NE(button, "0");
    ASSERT_NE(label, "0");
    // Control handles never name X windows, and each search answers the same.
    EXPECT_TRUE(platform::isControlHandle(entry.toUInt()));
    EXPECT_EQ(findChild(h, "PUSH BUTTON"), button);
    EXPECT_EQ(findChild(h, "push button", 1), "-1");
    EXPECT_EQ(ask("gethtxt", "," + button + ","), "Submit");

    // Another window over the whole form, and the pointer and focus elsewhere.
    x11test::TestWindows windows(display);
    const auto cover = windows.create("cover", "Cover", 0, 0, 0, 0, 600, 400);
    xdotool(display, {"windowmove", QString::number(cover), "0", "0"});
    xdotool(display, {"windowmove", h, "20", "20"});
    xdotool(display, {"windowraise", QString::number(cover)});
    windows.warpPointer(700, 500);
    int px = 0, py = 0;
    QThread::msleep(200);
    windows.pointer(px, py);
    const auto focusBefore = windows.focus();

    const QString typed = QStringLiteral("Hello 中文");
    run("sethtxt", "," + entry + "," + typed);
    EXPECT_EQ(ask("gethtxt", "," + entry + ","), typed);
    run("sethclick", "," + button);
    EXPECT_TRUE(waitFor([&] { return form.output().contains("clicked:" + typed); }))
        << form.output().toStdString();
    EXPECT_TRUE(waitFor([&] { return ask("gethtxt", "," + label + ",") == "got:" + typed; }));

    int qx = 0, qy = 0;
    windows.pointer(qx, qy);
    EXPECT_EQ(qx, px);
    EXPECT_EQ(qy, py);
    EXPECT_EQ(windows.focus(), focusBefore);
    EXPECT_EQ(windows.waitButtonPress(cover, 100), 0) << "the covering window was clicked";
}

TEST_P(AccessibleControls, ControlsOfAnApplicationThatEndedAreBadHandles)
{
    const FormApp app = GetParam();
    auto form = std::make_unique<Client>(display, app.program,
                                         formArgs(app, QStringLiteral("Quillon %1 gone").arg(app.name)));
    const auto formWindow = form->waitWindow({"--classname", app.windowClass});
    ASSERT_NE(formWindow, 0u);
    const QString h = QString::number(formWindow);
    const QString entry = waitChild(h, "text");
    ASSERT_NE(entry, "0");
    run("sethtxt", "," + entry + ",still here");
    ASSERT_EQ(ask("gethtxt", "," + entry + ","), "still here");

    form.reset();
    EXPECT_TRUE(waitFor([&] { return ask("gethtxt", "," + entry + ",").isEmpty(); }));
    run("sethtxt", "," + entry + ",nobody");
    run("sethclick", "," + entry);
    EXPECT_EQ(findChild(entry, "text"), "0");
    EXPECT_EQ(findChild(h, "text"), "0");
}

TEST_P(AccessibleControls, AScriptFillsInAndSubmitsTheForm)
{
    const FormApp app = GetParam();
    Client form(display, app.program, formArgs(app, QStringLiteral("Quillon %1 script").arg(app.name)));
    const auto formWindow = form.waitWindow({"--classname", app.windowClass});
    ASSERT_NE(formWindow, 0u);
    ASSERT_NE(waitChild(QString::number(formWindow), "push button"), "0");

    QTemporaryDir dir;
    QFile script(dir.filePath("form.txt"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral(R"(section down
h=findhandle("%1")
e=findchild(h,"text")
b=findchild(h,"push button")
name="Ada 洛芙莱斯"
sethtxt e,name
sethclick b
t=gethtxt(e)
messagebox t
end section
)").arg(app.windowClass.toLower()).toUtf8());
    script.close();
    QProcess quillon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    quillon.setProcessEnvironment(env);
    quillon.start(QUILLON_BINARY, {"--run", script.fileName(), "--section", "down"});
    ASSERT_TRUE(quillon.waitForFinished(20000));
    EXPECT_EQ(quillon.exitCode(), 0) << quillon.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(quillon.readAllStandardOutput()), QStringLiteral("Ada 洛芙莱斯\n"));
    EXPECT_TRUE(waitFor([&] { return form.output().contains(QStringLiteral("clicked:Ada 洛芙莱斯")); }))
        << form.output().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Toolkits, AccessibleControls, ::testing::Values(gtkForm(), qtForm()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AccessibleControlsWithoutABus, FindchildFindsWindowChildrenAtOnce)
{
    const QString display = x11test::testDisplay();
    if (display.isEmpty())
        GTEST_SKIP() << "QUILLON_TEST_DISPLAY is not set";
    QTemporaryDir nowhere;
    EnvironmentGuard env;
    env.set("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + nowhere.filePath("bus")).toUtf8());
    env.unset("AT_SPI_BUS_ADDRESS");
    x11test::TestWindows windows(display);
    const auto parent = windows.create("parent", "Parent");
    const auto child = windows.create("child", "ChildButton", parent);
    auto desktop = platform::openX11Desktop(display);
    ASSERT_TRUE(desktop);
    app::DesktopBridge kit(desktop);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 3; ++i) {
        QString text = "," + QString::number(parent) + ",button,";
        ASSERT_TRUE(kit.bridge().query("findchild", text));
        EXPECT_EQ(text, QString::number(child));
    }
    EXPECT_LT(timer.elapsed(), 1000);
    QString text = ",1073741825,";  // a control handle nobody handed out
    ASSERT_TRUE(kit.bridge().query("gethtxt", text));
    EXPECT_EQ(text, "");
}
