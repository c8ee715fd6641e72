// The X11 window tree as the window locator sees it: managed client windows
// (never window-manager frames) as top-level windows, WM_TRANSIENT_FOR owners
// as the parents of pop-ups, titles from _NET_WM_NAME or WM_NAME, class names
// from WM_CLASS. Any handle may come from a script, so every request that
// can fail on a bad window is trapped and turns into an empty answer.
#include "platform/x11/X11Connection.h"

#include <QByteArray>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace quillon::platform::x11 {
namespace {

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;
    Property() = default;
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;
    ~Property()
    {
        if (data)
            XFree(data);
    }
};

bool readProperty(Display* d, Window w, Atom name, Property& out, long maxLongs = 65536)
{
    unsigned long after = 0;
    const int status = XGetWindowProperty(d, w, name, 0, maxLongs, False, AnyPropertyType,
                                          &out.type, &out.format, &out.count, &after, &out.data);
    return status == Success && out.type != None;
}

bool hasProperty(Display* d, Window w, Atom name)
{
    Property p;
    return readProperty(d, w, name, p, 0);
}

std::vector<Window> queryChildren(Display* d, Window w, Window* parent = nullptr)
{
    Window rootReturn = 0, parentReturn = 0;
    Window* list = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &rootReturn, &parentReturn, &list, &count))
        return {};
    std::vector<Window> result(list, list + count);
    if (list)
        XFree(list);
    if (parent)
        *parent = parentReturn;
    return result;
}

// The server lists children bottom first; callers want the top first.
std::vector<WindowHandle> topFirst(const std::vector<Window>& bottomFirst)
{
    return std::vector<WindowHandle>(bottomFirst.rbegin(), bottomFirst.rend());
}

QString decodeText(Display* d, const XTextProperty& text, Atom utf8)
{
    const auto* bytes = reinterpret_cast<const char*>(text.value);
    if (text.encoding == XA_STRING)
        return QString::fromLatin1(bytes, static_cast<int>(text.nitems));
    if (text.encoding == utf8)
        return QString::fromUtf8(bytes, static_cast<int>(text.nitems));
    char** list = nullptr;
    int count = 0;
    QString result;
    XTextProperty copy = text;
    if (Xutf8TextPropertyToTextList(d, &copy, &list, &count) >= Success && list) {
        for (int i = 0; i < count; ++i)
            result += QString::fromUtf8(list[i]);
        XFreeStringList(list);
    }
    return result;
}

struct BatchReply {
    xcb_get_property_reply_t* reply = nullptr;
    BatchReply(xcb_connection_t* c, xcb_get_property_cookie_t cookie)
    {
        xcb_generic_error_t* error = nullptr;
        reply = xcb_get_property_reply(c, cookie, &error);
        std::free(error);  // a bad window simply has no text
    }
    ~BatchReply() { std::free(reply); }
    BatchReply(const BatchReply&) = delete;
    BatchReply& operator=(const BatchReply&) = delete;
    bool is(xcb_atom_t type) const { return reply && reply->type == type && reply->format == 8; }
    QByteArray bytes() const
    {
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
    }
};

// The class is the second of WM_CLASS's two NUL-terminated strings.
QString classFromWmClass(const QByteArray& value)
{
    const qsizetype nul = value.indexOf('\0');
    if (nul < 0)
        return QString();
    QByteArray cls = value.mid(nul + 1);
    if (const qsizetype end = cls.indexOf('\0'); end >= 0)
        cls.truncate(end);
    return QString::fromLatin1(cls);
}

class X11Windows final : public Windows {
public:
    explicit X11Windows(std::shared_ptr<Connection> c) : m_c(std::move(c)), m_d(m_c->display()) {}

    // A lost connection ends the process in Xlib, so an open one can be read.
    Result status() override { return Result::success(); }

    // Every child of the root, top first, hidden and unmanaged ones too: the
    // window manager's client list would miss override-redirect and unmapped
    // windows and a window mapped a moment ago. A frame stands for its client.
    std::vector<WindowHandle> topLevelWindows() override
    {
        std::lock_guard lock(m_c->mutex());
        std::vector<Window> roots = queryChildren(m_d, m_c->root());
        if (windowManagerRunning())
            for (Window& w : roots)
                w = clientOf(w);
        return topFirst(roots);
    }

    std::vector<WindowHandle> children(WindowHandle window) override
    {
        if (window == 0)
            return {};
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        std::vector<Window> list = queryChildren(m_d, window);
        return m_c->hadError() ? std::vector<WindowHandle>{} : topFirst(list);
    }

    WindowHandle parent(WindowHandle window) override
    {
        if (window == 0)
            return 0;
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        Window treeParent = 0;
        queryChildren(m_d, window, &treeParent);
        if (m_c->hadError() || treeParent == 0)
            return 0;
        if (!isTopLevel(window, treeParent))
            return static_cast<WindowHandle>(treeParent);
        Window owner = 0;
        if (XGetTransientForHint(m_d, window, &owner) && owner != 0 && owner != m_c->root()
            && owner != window)
            return static_cast<WindowHandle>(owner);
        return 0;
    }

    QString title(WindowHandle window) override
    {
        if (window == 0)
            return {};
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        Property netName;
        if (readProperty(m_d, window, m_c->atoms().netWmName, netName)
            && netName.type == m_c->atoms().utf8String && netName.format == 8)
            return QString::fromUtf8(reinterpret_cast<const char*>(netName.data),
                                     static_cast<int>(netName.count));
        XTextProperty text{};
        if (!XGetWMName(m_d, window, &text) || !text.value)
            return {};
        QString result = decodeText(m_d, text, m_c->atoms().utf8String);
        XFree(text.value);
        return result;
    }

    QString className(WindowHandle window) override
    {
        if (window == 0)
            return {};
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        XClassHint hint{};
        if (!XGetClassHint(m_d, window, &hint))
            return {};
        QString result = hint.res_class ? QString::fromLatin1(hint.res_class) : QString();
        if (hint.res_name)
            XFree(hint.res_name);
        if (hint.res_class)
            XFree(hint.res_class);
        return result;
    }

    std::vector<WindowTexts> texts(const std::vector<WindowHandle>& windows, bool wantTitles,
                                   bool wantClassNames) override
    {
        xcb_connection_t* c = m_c->batch();
        if (!c)
            return Windows::texts(windows, wantTitles, wantClassNames);
        std::vector<WindowTexts> result(windows.size());
        std::vector<std::size_t> oddlyEncoded;
        {
            std::lock_guard lock(m_c->mutex());
            // Every request goes out before the first answer is read: one
            // round trip for the lot instead of one or two per window.
            std::vector<xcb_get_property_cookie_t> netNames, names, classes;
            for (WindowHandle w : windows) {
                if (wantTitles) {
                    netNames.push_back(property(c, w, m_c->atoms().netWmName));
                    names.push_back(property(c, w, XCB_ATOM_WM_NAME));
                }
                if (wantClassNames)
                    classes.push_back(property(c, w, XCB_ATOM_WM_CLASS));
            }
            for (std::size_t i = 0; i < windows.size(); ++i) {
                if (wantTitles && !batchTitle(c, netNames[i], names[i], result[i].title))
                    oddlyEncoded.push_back(i);
                if (wantClassNames) {
                    BatchReply reply(c, classes[i]);
                    if (reply.is(XCB_ATOM_STRING))
                        result[i].className = classFromWmClass(reply.bytes());
                }
            }
        }
        // Compound text needs Xlib's converters.
        for (std::size_t i : oddlyEncoded)
            result[i].title = title(windows[i]);
        return result;
    }

    bool setTitle(WindowHandle window, const QString& text) override
    {
        if (window == 0)
            return false;
        const QByteArray utf8 = text.toUtf8();
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        XChangeProperty(m_d, window, m_c->atoms().netWmName, m_c->atoms().utf8String, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.constData()),
                        utf8.size());
        // WM_NAME is Latin-1 STRING by the rules; other text goes as UTF8_STRING,
        // which current clients read.
        const bool latin1 = std::all_of(text.begin(), text.end(),
                                        [](QChar ch) { return ch.unicode() < 256; });
        const QByteArray bytes = latin1 ? text.toLatin1() : utf8;
        XChangeProperty(m_d, window, XA_WM_NAME, latin1 ? XA_STRING : m_c->atoms().utf8String, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(bytes.constData()),
                        bytes.size());
        return !m_c->hadError();
    }

    bool click(WindowHandle window) override
    {
        if (window == 0)
            return false;
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        XWindowAttributes a{};
        if (!XGetWindowAttributes(m_d, window, &a) || m_c->hadError())
            return false;
        int cx = 0, cy = 0;
        Window child = 0;
        XTranslateCoordinates(m_d, window, m_c->root(), a.width / 2, a.height / 2, &cx, &cy, &child);
        Window rootReturn, childReturn;
        int px = 0, py = 0, wx, wy;
        unsigned mask;
        XQueryPointer(m_d, m_c->root(), &rootReturn, &childReturn, &px, &py, &wx, &wy, &mask);
        XTestFakeMotionEvent(m_d, -1, cx, cy, CurrentTime);
        XTestFakeButtonEvent(m_d, Button1, True, CurrentTime);
        XTestFakeButtonEvent(m_d, Button1, False, CurrentTime);
        XTestFakeMotionEvent(m_d, -1, px, py, CurrentTime);
        return !m_c->hadError();
    }

    bool activate(WindowHandle window) override
    {
        if (window == 0)
            return false;
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        XMapRaised(m_d, window);
        if (windowManagerSupports(m_c->atoms().netActiveWindow)) {
            sendActiveWindowRequest(window);
        } else {
            // No window manager to ask: raise it ourselves and give it the
            // focus once the server has mapped it.
            XRaiseWindow(m_d, window);
            XWindowAttributes a{};
            if (XGetWindowAttributes(m_d, window, &a) && a.map_state == IsViewable)
                XSetInputFocus(m_d, window, RevertToParent, CurrentTime);
        }
        return !m_c->hadError();
    }

    std::optional<Rect> frameRect(WindowHandle window) override
    {
        if (window == 0)
            return std::nullopt;
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        Window outer = window;
        Window treeParent = 0;
        queryChildren(m_d, window, &treeParent);
        if (m_c->hadError())
            return std::nullopt;
        // A managed client sits in a frame: the frame is the root's child
        // that holds it.
        if (treeParent != m_c->root() && hasProperty(m_d, window, m_c->atoms().wmState)) {
            for (Window up = treeParent; up != 0 && up != m_c->root();) {
                outer = up;
                queryChildren(m_d, up, &up);
            }
        }
        XWindowAttributes a{};
        if (!XGetWindowAttributes(m_d, outer, &a) || m_c->hadError())
            return std::nullopt;
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(m_d, outer, m_c->root(), -a.border_width, -a.border_width, &x, &y,
                              &child);
        const int border = 2 * a.border_width;
        return Rect{x, y, x + a.width + border, y + a.height + border};
    }

    std::optional<Point> clientOrigin(WindowHandle window) override
    {
        if (window == 0)
            return std::nullopt;
        std::lock_guard lock(m_c->mutex());
        m_c->clearErrors();
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(m_d, window, m_c->root(), 0, 0, &x, &y, &child);
        if (m_c->hadError())
            return std::nullopt;
        return Point{x, y};
    }

private:
    static xcb_get_property_cookie_t property(xcb_connection_t* c, WindowHandle w, XId atom)
    {
        return xcb_get_property(c, 0, w, static_cast<xcb_atom_t>(atom), XCB_GET_PROPERTY_TYPE_ANY,
                                0, 65536);
    }

    // False when WM_NAME is in an encoding only Xlib can decode.
    bool batchTitle(xcb_connection_t* c, xcb_get_property_cookie_t netName,
                    xcb_get_property_cookie_t name, QString& title)
    {
        const BatchReply net(c, netName);
        const BatchReply plain(c, name);
        const auto utf8 = static_cast<xcb_atom_t>(m_c->atoms().utf8String);
        if (net.is(utf8))
            title = QString::fromUtf8(net.bytes());
        else if (plain.is(XCB_ATOM_STRING))
            title = QString::fromLatin1(plain.bytes());
        else if (plain.is(utf8))
            title = QString::fromUtf8(plain.bytes());
        else
            return !plain.reply || plain.reply->type == XCB_ATOM_NONE;
        return true;
    }

    // A window is top-level when it is a child of the root, or a client the
    // window manager has reparented into a frame (it then carries WM_STATE).
    bool isTopLevel(Window window, Window treeParent)
    {
        return treeParent == m_c->root() || hasProperty(m_d, window, m_c->atoms().wmState);
    }

    // Without a client list, the root's children are top-level clients, or
    // frames of a window manager that keeps no list: then the client is the
    // descendant that carries WM_STATE.
    Window clientOf(Window w)
    {
        if (hasProperty(m_d, w, m_c->atoms().wmClass) || hasProperty(m_d, w, m_c->atoms().wmState))
            return w;
        const Window found = managedDescendant(w, 3);
        return found ? found : w;
    }

    // A window manager is the one client that redirects the root's
    // substructure; without one the root's children are the clients.
    bool windowManagerRunning()
    {
        XWindowAttributes a{};
        return XGetWindowAttributes(m_d, m_c->root(), &a)
               && (a.all_event_masks & SubstructureRedirectMask);
    }

    Window managedDescendant(Window w, int depth)
    {
        if (depth == 0)
            return 0;
        for (Window child : queryChildren(m_d, w)) {
            if (hasProperty(m_d, child, m_c->atoms().wmState))
                return child;
            if (const Window found = managedDescendant(child, depth - 1))
                return found;
        }
        return 0;
    }

    bool windowManagerSupports(Atom feature)
    {
        Property supported;
        if (!readProperty(m_d, m_c->root(), m_c->atoms().netSupported, supported)
            || supported.format != 32)
            return false;
        const auto* atoms = reinterpret_cast<const unsigned long*>(supported.data);
        return std::find(atoms, atoms + supported.count, feature) != atoms + supported.count;
    }

    void sendActiveWindowRequest(Window window)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = m_c->atoms().netActiveWindow;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // source: a pager, which window managers obey
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_d, m_c->root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    }

    std::shared_ptr<Connection> m_c;
    Display* m_d;
};

}  // namespace

std::unique_ptr<Windows> makeWindows(std::shared_ptr<Connection> connection)
{
    return std::make_unique<X11Windows>(std::move(connection));
}

}  // namespace quillon::platform::x11
