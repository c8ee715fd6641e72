// Internal to the X11 backend: one Display connection shared by the backend's
// parts, with the lock that serialises every use of it and the trap that
// turns X protocol errors (a script's bad window handle) into results.
// Deliberately free of Xlib headers; the .cpp files include them.
#pragma once

#include "platform/Desktop.h"

#include <QString>

#include <memory>
#include <mutex>

struct _XDisplay;
struct xcb_connection_t;

namespace quillon::platform::x11 {

using XId = unsigned long;

struct Atoms {
    XId netClientListStacking = 0;
    XId netSupported = 0;
    XId netActiveWindow = 0;
    XId netWmName = 0;
    XId utf8String = 0;
    XId wmState = 0;
    XId wmClass = 0;
};

class Connection {
public:
    // Opens `name` (empty: $DISPLAY); null with *error set when it cannot.
    static std::unique_ptr<Connection> open(const QString& name, QString* error);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    _XDisplay* display() const { return m_display; }
    // A second, XCB connection to the same server for requests sent in a
    // batch and answered together; null when it could not be opened.
    xcb_connection_t* batch() const { return m_batch; }
    XId root() const { return m_root; }
    const Atoms& atoms() const { return m_atoms; }
    // Held around every Xlib call on this connection.
    std::mutex& mutex() { return m_mutex; }

    // Error trapping on the calling thread, with the lock held: clearErrors()
    // forgets earlier errors; hadError() syncs with the server first, so the
    // errors of every request sent so far have arrived when it looks.
    void clearErrors();
    bool hadError();

private:
    Connection(_XDisplay* display, xcb_connection_t* batch);
    _XDisplay* m_display;
    xcb_connection_t* m_batch;
    XId m_root;
    Atoms m_atoms;
    std::mutex m_mutex;
};

// Windows virtual-key code to X keysym; 0 for codes without a counterpart.
XId keysymForVirtualKey(int vk);

std::unique_ptr<Windows> makeWindows(std::shared_ptr<Connection> connection);
std::unique_ptr<HotKeys> makeHotKeys(const QString& displayName);
std::unique_ptr<KeyEvents> makeKeyEvents(const QString& displayName);

}  // namespace quillon::platform::x11
