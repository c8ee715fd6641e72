#include "TestWindows.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

namespace quillon::x11test {

QString testDisplay()
{
    return qEnvironmentVariable("QUILLON_TEST_DISPLAY");
}

struct TestWindows::Impl {
    Display* display = nullptr;
    std::vector<Window> windows;
};

TestWindows::TestWindows(const QString& display) : d(std::make_unique<Impl>())
{
    // Xvfb sometimes drops a connection made right after another one closed.
    for (int attempt = 0; attempt < 5 && !d->display; ++attempt) {
        d->display = XOpenDisplay(display.toLocal8Bit().constData());
        if (!d->display)
            QThread::msleep(20 * (attempt + 1));
    }
}

TestWindows::~TestWindows()
{
    if (!d->display)
        return;
    for (auto it = d->windows.rbegin(); it != d->windows.rend(); ++it)
        XDestroyWindow(d->display, *it);
    XCloseDisplay(d->display);
}

std::uint32_t TestWindows::create(const QString& title, const QString& className,
                                  std::uint32_t parent, std::uint32_t owner, int x, int y,
                                  int width, int height)
{
    Display* dpy = d->display;
    if (!dpy)
        return 0;
    const Window under = parent ? parent : DefaultRootWindow(dpy);
    const Window w = XCreateSimpleWindow(dpy, under, x, y, width, height, 0, 0, 0xFFFFFF);
    XSelectInput(dpy, w, KeyPressMask | ButtonPressMask);
    const QByteArray name = title.toUtf8();
    XStoreName(dpy, w, name.constData());
    QByteArray cls = className.toLatin1();
    QByteArray instance = className.toLower().toLatin1();
    XClassHint hint{instance.data(), cls.data()};
    XSetClassHint(dpy, w, &hint);
    if (owner)
        XSetTransientForHint(dpy, w, owner);
    if (!parent) {
        // A window manager places windows where it likes unless the program
        // asked for the place itself.
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        hints.x = x;
        hints.y = y;
        hints.width = width;
        hints.height = height;
        XSetWMNormalHints(dpy, w, &hints);
    }
    XMapWindow(dpy, w);
    XSync(dpy, False);
    d->windows.push_back(w);
    // Under a window manager the map is a request it grants when it has
    // framed the window: wait until the window can be seen.
    QElapsedTimer timer;
    timer.start();
    for (XWindowAttributes a{}; timer.elapsed() < 3000; QThread::msleep(10))
        if (XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable)
            break;
    return static_cast<std::uint32_t>(w);
}

int TestWindows::waitButtonPress(std::uint32_t window, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        XEvent event;
        while (XCheckWindowEvent(d->display, window, ButtonPressMask, &event))
            return static_cast<int>(event.xbutton.button);
        QThread::msleep(10);
    }
    return 0;
}

std::uint32_t TestWindows::focus()
{
    Window w = 0;
    int revert = 0;
    XGetInputFocus(d->display, &w, &revert);
    return static_cast<std::uint32_t>(w);
}

bool TestWindows::keyDown(const QString& keysym)
{
    if (!d->display)
        return false;
    const KeyCode code = XKeysymToKeycode(d->display, XStringToKeysym(keysym.toLatin1().constData()));
    char keys[32] = {};
    XQueryKeymap(d->display, keys);
    return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
}

int TestWindows::countPixels(std::uint32_t window, std::uint32_t rgb)
{
    if (!d->display)
        return -1;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d->display, window, &a) || a.map_state != IsViewable)
        return -1;
    XImage* image = XGetImage(d->display, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image)
        return -1;
    int count = 0;
    for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x)
            count += (XGetPixel(image, x, y) & 0xFFFFFF) == rgb;
    XDestroyImage(image);
    return count;
}

void TestWindows::pointer(int& x, int& y)
{
    Window root, child;
    int wx, wy;
    unsigned mask;
    XQueryPointer(d->display, DefaultRootWindow(d->display), &root, &child, &x, &y, &wx, &wy,
                  &mask);
}

void TestWindows::warpPointer(int x, int y)
{
    XWarpPointer(d->display, 0, DefaultRootWindow(d->display), 0, 0, 0, 0, x, y);
    XSync(d->display, False);
}

void TestWindows::origin(std::uint32_t window, int& x, int& y)
{
    Window child = 0;
    XTranslateCoordinates(d->display, window, DefaultRootWindow(d->display), 0, 0, &x, &y, &child);
}

Client::Client(const QString& display, const QString& program, const QStringList& args)
    : m_display(display), m_program(program), m_args(args)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    start();
}

void Client::start()
{
    m_process.start(m_program, m_args);
    m_process.waitForStarted(5000);
}

Client::~Client()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

std::uint32_t Client::waitWindow(const QStringList& criteria, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        const QStringList found =
            xdotool(m_display, QStringList{"search"} + criteria)
                .split('\n', Qt::SkipEmptyParts);
        if (!found.isEmpty())
            return found.last().toUInt();
        if (m_process.state() == QProcess::NotRunning) {
            m_output += QString::fromLocal8Bit(m_process.readAll());
            start();
        }
        QThread::msleep(50);
    }
    return 0;
}

QString Client::output()
{
    // Without an event loop QProcess reads only while it is waited on.
    m_process.waitForReadyRead(20);
    m_output += QString::fromLocal8Bit(m_process.readAll());
    return m_output;
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs, int stepMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (condition())
            return true;
        QThread::msleep(stepMs);
    }
    return condition();
}

QString xdotool(const QString& display, const QStringList& args)
{
    // Xvfb now and then drops a connection made right after another client
    // left; xdotool then says so and has done nothing, so it is run again.
    for (int attempt = 0;; ++attempt) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral("xdotool"), args);
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(1000);
            return QString();
        }
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        if (process.exitCode() != 0 && errors.contains(QLatin1String("open display")) && attempt < 4) {
            QThread::msleep(20 * (attempt + 1));
            continue;
        }
        return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }
}

}  // namespace quillon::x11test
