// The controls GTK and Qt applications draw inside their windows, from the
// accessibility bus. A window is matched to its application's accessible
// frame by process id (_NET_WM_PID against the bus connection's process),
// then by title and by position, since the bus knows nothing of X window ids.
// Handles come from a ControlRegistry and are checked on every use: a handle
// that was never handed out, or whose control has gone, is a bad handle.
#include "platform/x11/X11Controls.h"

#include "platform/ControlRegistry.h"
#include "platform/x11/AccessibilityBus.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <climits>
#include <cstdlib>
#include <mutex>

namespace quillon::platform::x11 {
namespace {

// A window with more controls than this is a table or a document; the
// search stops there instead of walking it for seconds.
constexpr std::size_t kMaxControls = 20000;

struct WindowFacts {
    std::optional<unsigned> pid;
    QString title;
    Rect client;
    std::optional<Rect> outer;
};

int distance(const AccessibleExtents& e, const Rect& r)
{
    return std::abs(e.x - r.left) + std::abs(e.y - r.top) + std::abs(e.width - (r.right - r.left))
           + std::abs(e.height - (r.bottom - r.top));
}

bool isFocusAction(const QString& name)
{
    return name.contains(QLatin1String("focus"), Qt::CaseInsensitive);
}

class X11Controls final : public Controls {
public:
    X11Controls(std::shared_ptr<Connection> c, Windows& windows)
        : m_c(std::move(c)), m_windows(windows), m_bus([this] { return rootBusAddress(); })
    {
    }

    std::vector<ControlInfo> descendants(WindowHandle parent) override
    {
        const std::optional<AccessibleRef> root =
            isControlHandle(parent) ? live(parent) : frameOf(parent);
        if (!root)
            return {};
        std::vector<ControlInfo> result;
        for (const AccessibleNode& node : m_bus.descendants(*root, kMaxControls)) {
            const WindowHandle handle = m_registry.handleFor({node.ref.service, node.ref.path});
            if (handle != 0)
                result.push_back({handle, node.roleName, node.toolkitClass});
        }
        return result;
    }

    QString text(WindowHandle control) override
    {
        const std::optional<AccessibleRef> ref = live(control);
        if (!ref)
            return {};
        std::optional<QString> text;
        if (m_bus.interfaces(*ref).contains(QLatin1String("org.a11y.atspi.Text")))
            text = m_bus.text(*ref);
        if (!text)
            text = m_bus.name(*ref);
        return text.value_or(QString());
    }

    bool setText(WindowHandle control, const QString& text) override
    {
        const std::optional<AccessibleRef> ref = live(control);
        return ref && m_bus.interfaces(*ref).contains(QLatin1String("org.a11y.atspi.EditableText"))
               && m_bus.setTextContents(*ref, text);
    }

    // The first action is the default one ("click", "Press"); a toolkit that
    // offers only focusing (Qt lists "SetFocus" for every focusable widget)
    // has no click to run, and focusing is what this must not do.
    bool click(WindowHandle control) override
    {
        const std::optional<AccessibleRef> ref = live(control);
        if (!ref)
            return false;
        const QStringList actions = m_bus.actionNames(*ref);
        for (int i = 0; i < actions.size(); ++i) {
            if (!isFocusAction(actions[i]))
                return m_bus.doAction(*ref, i);
        }
        return false;
    }

private:
    // The control behind a handle, if it still exists; a gone one is
    // forgotten so its handle stays bad.
    std::optional<AccessibleRef> live(WindowHandle handle)
    {
        const std::optional<ControlKey> key = m_registry.lookup(handle);
        if (!key)
            return std::nullopt;
        const AccessibleRef ref{key->service, key->path};
        if (!m_bus.alive(ref)) {
            m_registry.forget(handle);
            return std::nullopt;
        }
        return ref;
    }

    std::optional<AccessibleRef> frameOf(WindowHandle window)
    {
        if (window == 0 || !m_bus.available())
            return std::nullopt;
        const std::optional<WindowFacts> facts = factsOf(window);
        if (!facts)
            return std::nullopt;
        std::vector<AccessibleRef> frames;
        for (const AccessibleRef& app : m_bus.applications()) {
            if (facts->pid && m_bus.processId(app.service) != facts->pid)
                continue;
            for (const AccessibleRef& frame : m_bus.children(app))
                frames.push_back(frame);
        }
        return bestFrame(frames, *facts);
    }

    // An application with one window needs no comparison; otherwise the
    // frame named like the window wins, and among equals the one whose
    // extents lie closest to the window's (toolkits report either the
    // client area or the window manager's frame).
    std::optional<AccessibleRef> bestFrame(const std::vector<AccessibleRef>& frames,
                                           const WindowFacts& facts)
    {
        if (frames.size() == 1 && facts.pid)
            return frames.front();
        std::optional<AccessibleRef> best;
        bool bestNamed = false;
        int bestDistance = INT_MAX;
        for (const AccessibleRef& frame : frames) {
            const bool named = m_bus.name(frame) == facts.title;
            int d = INT_MAX;
            if (const auto e = m_bus.extents(frame)) {
                d = distance(*e, facts.client);
                if (facts.outer)
                    d = std::min(d, distance(*e, *facts.outer));
            }
            if ((named && !bestNamed) || (named == bestNamed && d < bestDistance)) {
                best = frame;
                bestNamed = named;
                bestDistance = d;
            }
        }
        // Without a process id to go by, a frame must show some likeness.
        constexpr int kNear = 64;
        if (best && !facts.pid && !bestNamed && bestDistance > kNear)
            return std::nullopt;
        return best;
    }

    std::optional<WindowFacts> factsOf(WindowHandle window)
    {
        WindowFacts facts;
        {
            std::lock_guard lock(m_c->mutex());
            Display* d = m_c->display();
            m_c->clearErrors();
            XWindowAttributes a{};
            if (!XGetWindowAttributes(d, window, &a) || m_c->hadError())
                return std::nullopt;
            int x = 0, y = 0;
            Window child = 0;
            XTranslateCoordinates(d, window, m_c->root(), 0, 0, &x, &y, &child);
            facts.client = Rect{x, y, x + a.width, y + a.height};
            facts.pid = windowPid(d, window);
        }
        facts.title = m_windows.title(window);
        facts.outer = m_windows.frameRect(window);
        return facts;
    }

    std::optional<unsigned> windowPid(Display* d, Window window)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
        std::optional<unsigned> pid;
        if (XGetWindowProperty(d, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                               &after, &data) == Success
            && type == XA_CARDINAL && format == 32 && count == 1 && data)
            pid = static_cast<unsigned>(*reinterpret_cast<unsigned long*>(data));
        if (data)
            XFree(data);
        return pid;
    }

    // The accessibility bus launcher may publish the bus on the root window.
    QString rootBusAddress()
    {
        std::lock_guard lock(m_c->mutex());
        Display* d = m_c->display();
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const Atom busAtom = XInternAtom(d, "AT_SPI_BUS", False);
        QString address;
        if (XGetWindowProperty(d, m_c->root(), busAtom, 0, 1024, False, XA_STRING, &type, &format,
                               &count, &after, &data) == Success
            && type == XA_STRING && format == 8 && data)
            address = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<int>(count));
        if (data)
            XFree(data);
        return address;
    }

    std::shared_ptr<Connection> m_c;
    Windows& m_windows;
    AccessibilityBus m_bus;
    ControlRegistry m_registry;
};

}  // namespace

std::unique_ptr<Controls> makeControls(std::shared_ptr<Connection> connection, Windows& windows)
{
    return std::make_unique<X11Controls>(std::move(connection), windows);
}

}  // namespace quillon::platform::x11
