// Test windows made with Xlib on a connection of the test's own, and the
// real X clients (xmessage, xev) the tests start. Xlib stays in the .cpp.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace quillon::x11test {

// The display the test command started, or empty when there is none.
QString testDisplay();

// Whether `condition` holds within `timeoutMs`, asked every `stepMs` and once
// more at the end: what a window manager or another client does arrives on
// its own time.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000, int stepMs = 5);

class TestWindows {
public:
    explicit TestWindows(const QString& display);
    ~TestWindows();
    TestWindows(const TestWindows&) = delete;
    TestWindows& operator=(const TestWindows&) = delete;

    // Creates (and maps) a window that records key and button presses.
    // `parent` 0 means a child of the root; `owner` sets WM_TRANSIENT_FOR.
    std::uint32_t create(const QString& title, const QString& className, std::uint32_t parent = 0,
                         std::uint32_t owner = 0, int x = 0, int y = 0, int width = 120,
                         int height = 80);
    // Waits up to `timeoutMs` for a button press on `window`; its button or 0.
    int waitButtonPress(std::uint32_t window, int timeoutMs);
    // The window holding the input focus.
    std::uint32_t focus();
    // Whether the key of `keysym` (an X keysym name: "b", "F1") is down in
    // the server's key state (XQueryKeymap).
    bool keyDown(const QString& keysym);
    // How many pixels of `window`'s visible contents have the colour `rgb`
    // (0xRRGGBB); -1 when the window cannot be read.
    int countPixels(std::uint32_t window, std::uint32_t rgb);
    // Root-relative pointer position.
    void pointer(int& x, int& y);
    void warpPointer(int x, int y);
    // Root-relative position of the window's own origin (inside any frame).
    void origin(std::uint32_t window, int& x, int& y);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A real client on the test display, killed when this goes.
class Client {
public:
    Client(const QString& display, const QString& program, const QStringList& args);
    ~Client();
    // Waits for a top-level window that `xdotool search` finds with
    // `criteria` (for example --classname NAME); 0 on time-out. A client that
    // ended before its window appeared (Xvfb now and then drops a connection
    // made right after another client left) is started again.
    std::uint32_t waitWindow(const QStringList& criteria, int timeoutMs = 10000);
    // Everything the client printed so far.
    QString output();

private:
    void start();

    QString m_display;
    QString m_program;
    QStringList m_args;
    QProcess m_process;
    QString m_output;
};

// Runs xdotool on the display and returns its standard output, trimmed.
QString xdotool(const QString& display, const QStringList& args);

}  // namespace quillon::x11test
