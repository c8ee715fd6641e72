// Keys the keyboard map lacks (F13-F24, SELECT, EXECUTE, SEPARATOR, the 3270
// keys) and the keypad's digits are typed through keycodes the backend binds
// itself. This counts, with xev as the receiving client, how many presses
// of each such key arrive without their keysym (NoSymbol, another keysym, or
// not at all). Run it on a test display, with or without a window manager:
//   DISPLAY=:99 build/bin/spare_key_bench [--presses N] [--restart] [--lag-ms M]
// --restart opens a fresh desktop for every press and closes it right after,
// as a script run by a program started for it would; --lag-ms has xev
// stopped for M ms now and then, as a busy client is.
#include "platform/Desktop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdio>
#include <map>

using namespace quillon;

namespace {

struct Key {
    const char* name;
    int vk;
    const char* keysym;  // as xev prints it
};

const Key kKeys[] = {
    {"F13", 0x7C, "F13"}, {"F14", 0x7D, "F14"}, {"F15", 0x7E, "F15"}, {"F16", 0x7F, "F16"},
    {"F17", 0x80, "F17"}, {"F18", 0x81, "F18"}, {"F19", 0x82, "F19"}, {"F20", 0x83, "F20"},
    {"F21", 0x84, "F21"}, {"F22", 0x85, "F22"}, {"F23", 0x86, "F23"}, {"F24", 0x87, "F24"},
    {"SELECT", 0x29, "Select"}, {"EXECUTE", 0x2B, "Execute"}, {"SEPARATOR", 0x6C, "KP_Separator"},
    {"CLEAR", 0x0C, "Clear"}, {"ATTN", 0xF6, "3270_Attn"}, {"CRSEL", 0xF7, "3270_CursorSelect"},
    {"EXSEL", 0xF8, "3270_ExSelect"}, {"EREOF", 0xF9, "3270_EraseEOF"}, {"PLAY", 0xFA, "3270_Play"},
    {"PA1", 0xFD, "3270_PA1"}, {"NUMPAD0", 0x60, "KP_0"}, {"NUMPAD7", 0x67, "KP_7"},
    {"DECIMAL", 0x6E, "KP_Decimal"},
};

// A window of our own that xev watches (xev -id): focused, so that every
// key goes to it.
Window makeTarget(Display* d)
{
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 20, 20, 200, 100, 0, 0, 0xFFFFFF);
    XSizeHints hints{};
    hints.flags = USPosition | USSize;
    hints.x = 20;
    hints.y = 20;
    hints.width = 200;
    hints.height = 100;
    XSetWMNormalHints(d, w, &hints);
    XStoreName(d, w, "spare key probe");
    XMapRaised(d, w);
    XSync(d, False);
    QElapsedTimer t;
    t.start();
    for (XWindowAttributes a{}; t.elapsed() < 5000; QThread::msleep(10))
        if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable)
            break;
    return w;
}

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

void focus(Display* d, Window w)
{
    XSetInputFocus(d, w, RevertToParent, CurrentTime);
    XSync(d, False);
}

// The keysym names of the KeyPress events xev printed, in order.
QStringList pressesIn(const QString& output)
{
    QStringList names;
    bool inPress = false;
    for (const QString& line : output.split('\n')) {
        if (line.startsWith(QLatin1String("KeyPress event")))
            inPress = true;
        else if (line.startsWith(QLatin1String("KeyRelease event")))
            inPress = false;
        const qsizetype at = line.indexOf(QLatin1String("(keysym "));
        if (inPress && at >= 0) {
            const qsizetype comma = line.indexOf(QLatin1Char(','), at);
            const qsizetype close = line.indexOf(QLatin1Char(')'), comma);
            names << line.mid(comma + 2, close - comma - 2);
            inPress = false;
        }
    }
    return names;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int presses = 1000;
    int lagMs = 0;
    bool restart = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--presses") && i + 1 < args.size())
            presses = args[++i].toInt();
        else if (args[i] == QLatin1String("--lag-ms") && i + 1 < args.size())
            lagMs = args[++i].toInt();
        else if (args[i] == QLatin1String("--restart"))
            restart = true;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const Window target = makeTarget(d);
    QProcess xev;
    xev.setProcessChannelMode(QProcess::MergedChannels);
    xev.start(QStringLiteral("stdbuf"), {"-oL", "xev", "-id", QString::number(target), "-event",
                                         "keyboard"});
    xev.waitForStarted();
    // Under a window manager the window is framed and mapped on its own
    // time: the focus is asked for until a plain key reaches xev.
    {
        auto probe = platform::openX11Desktop();
        QString seen;
        QElapsedTimer t;
        t.start();
        while (!pressesIn(seen).contains(QLatin1String("a")) && t.elapsed() < 10000) {
            focus(d, target);
            probe->keyboard().sendKey(0x41, 0, 0);
            probe->keyboard().sendKey(0x41, 0, platform::kKeyUp);
            xev.waitForReadyRead(200);
            seen += QString::fromLocal8Bit(xev.readAll());
        }
        if (!pressesIn(seen).contains(QLatin1String("a"))) {
            std::fprintf(stderr, "keys never reached the probe window\n");
            return 2;
        }
        // The probe's own presses are not counted.
        while (xev.waitForReadyRead(300))
            xev.readAll();
    }
    std::shared_ptr<platform::Desktop> desktop;
    if (!restart)
        desktop = platform::openX11Desktop();
    std::printf("%-10s %6s %6s %8s %6s %8s\n", "key", "sent", "right", "NoSymbol", "other",
                "missing");
    int totalWrong = 0;
    QString output;
    for (const Key& key : kKeys) {
        QElapsedTimer lag;
        lag.start();
        for (int i = 0; i < presses; ++i) {
            if (restart)
                desktop = platform::openX11Desktop();
            if (!desktop) {
                std::fprintf(stderr, "cannot open the desktop\n");
                return 2;
            }
            desktop->keyboard().sendKey(key.vk, 0, 0);
            desktop->keyboard().sendKey(key.vk, 0, platform::kKeyUp);
            if (restart)
                desktop.reset();
            if (lagMs > 0 && lag.elapsed() > 50) {
                ::kill(pid_t(xev.processId()), SIGSTOP);
                QThread::msleep(lagMs);
                ::kill(pid_t(xev.processId()), SIGCONT);
                lag.restart();
            }
            // xev's output is read as it comes, so that its pipe never fills.
            xev.waitForReadyRead(0);
            output += QString::fromLocal8Bit(xev.readAll());
        }
        // Every press has been taken by the server once this returns; xev
        // then has a moment to print the last ones.
        XSync(d, False);
        QStringList seen;
        QElapsedTimer settle;
        settle.start();
        do {
            xev.waitForReadyRead(100);
            output += QString::fromLocal8Bit(xev.readAll());
            seen = pressesIn(output);
        } while (seen.size() < presses && settle.elapsed() < 3000);
        const int right = int(seen.count(QLatin1String(key.keysym)));
        const int noSymbol = int(seen.count(QLatin1String("NoSymbol")));
        const int other = int(seen.size()) - right - noSymbol;
        const int missing = std::max(0, presses - int(seen.size()));
        std::printf("%-10s %6d %6d %8d %6d %8d\n", key.name, presses, right, noSymbol, other,
                    missing);
        std::fflush(stdout);
        totalWrong += presses - right;
        output.clear();
    }
    std::printf("failures %d of %d presses\n", totalWrong, presses * int(std::size(kKeys)));
    desktop.reset();
    xev.kill();
    xev.waitForFinished();
    XDestroyWindow(d, target);
    XCloseDisplay(d);
    return 0;
}
