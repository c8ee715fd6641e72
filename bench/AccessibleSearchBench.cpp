// Time of findchild over the accessible controls of a real application
// window. Starts a private session bus (whose launcher starts the
// accessibility bus) and a form with many buttons, then times the bridge's
// findchild for the last button. Run under any X display, for example
//   xvfb-run -a build/bin/accessible_search_bench gtk 500
//   xvfb-run -a build/bin/accessible_search_bench qt 500
#include "app/SysParamBridge.h"
#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quillon;

namespace {

QString findChild(app::SysParamBridge& bridge, const QString& parent, const QString& fragment, int index)
{
    QString text = "," + parent + "," + fragment + "," + QString::number(index) + ",x";
    bridge.query("findchild", text);
    return text;
}

QString findWindow(const QString& windowClass)
{
    QProcess xdotool;
    xdotool.start("xdotool", {"search", "--classname", windowClass});
    xdotool.waitForFinished(5000);
    const QStringList found = QString::fromUtf8(xdotool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return found.isEmpty() ? QString() : found.last();
}

int fail(const char* why)
{
    std::fprintf(stderr, "accessible_search_bench: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool qt = argc > 1 && QByteArray(argv[1]) == "qt";
    const int controls = argc > 2 ? QByteArray(argv[2]).toInt() : 500;
    const int rounds = argc > 3 ? QByteArray(argv[3]).toInt() : 20;

    QTemporaryDir runtime;
    QProcess daemon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    daemon.setProcessEnvironment(env);
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000))
        return fail("dbus-daemon did not start");
    const QByteArray address = daemon.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qunsetenv("NO_AT_BRIDGE");
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    qputenv("QT_QPA_PLATFORM", "xcb");
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(address), "bench-session");
        QDBusMessage ask = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress");
        if (bus.call(ask, QDBus::Block, 10000).type() != QDBusMessage::ReplyMessage)
            return fail("no accessibility bus");
    }
    QDBusConnection::disconnectFromBus("bench-session");

    QProcess form;
    const QString count = QString::number(controls);
    if (qt)
        form.start(QUILLON_QT_FORM, {"bench form", count});
    else
        form.start("/usr/bin/python3", {QUILLON_GTK_FORM, "bench form", count});
    const QString windowClass = qt ? "qt_form" : "GtkForm";
    QString window;
    for (int i = 0; i < 200 && window.isEmpty(); ++i) {
        QThread::msleep(50);
        window = findWindow(windowClass);
    }
    if (window.isEmpty())
        return fail("the form did not show");

    auto desktop = platform::openX11Desktop();
    if (!desktop)
        return fail(platform::kNoDisplayError);
    app::DesktopBridge kit(desktop);
    const QString last = QStringLiteral("push button");
    // The form publishes its controls a moment after its window shows.
    for (int i = 0; i < 200 && findChild(kit.bridge(), window, last, controls) == "-1"; ++i)
        QThread::msleep(50);
    if (findChild(kit.bridge(), window, last, controls) == "-1")
        return fail("the form's buttons are not on the accessibility bus");

    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QString found = findChild(kit.bridge(), window, last, controls);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        if (found == "-1" || found == "0") {
            std::fprintf(stderr, "round %d: %s; first %s\n", i, qPrintable(found),
                         qPrintable(findChild(kit.bridge(), window, last, 0)));
            return fail("lost the last button");
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("findchild(h, \"push button\", %d) over %d buttons + 3 controls (%s): "
                "median %.1f ms, min %.1f ms, max %.1f ms, %d rounds\n",
                controls, controls, qt ? "Qt" : "GTK", ms[ms.size() / 2], ms.front(), ms.back(), rounds);
    form.kill();
    form.waitForFinished(5000);
    daemon.kill();
    daemon.waitForFinished(5000);
    return 0;
}
