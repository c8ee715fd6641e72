// Internal to the X11 backend: the desktop's accessibility bus (AT-SPI2),
// where GTK and Qt applications publish the controls they draw inside their
// windows. The bus is looked for on first use, not at start: its address
// comes from AT_SPI_BUS_ADDRESS, from the root window's AT_SPI_BUS property
// or from the session bus's org.a11y.Bus service. Every call carries a
// time-out, so a missing or hung bus or application costs a bounded wait
// and never a hang; after a failed look the bus is not looked for again for
// a few seconds. Thread-safe: the connection may be used from any thread.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace quillon::platform::x11 {

// One object on the bus: its application's bus name and its object path.
struct AccessibleRef {
    QString service;
    QString path;
    bool isNull() const { return service.isEmpty() || path.isEmpty(); }
    bool operator==(const AccessibleRef&) const = default;
};

struct AccessibleExtents {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// What a search needs to know of one object.
struct AccessibleNode {
    AccessibleRef ref;
    QString roleName;
    QString toolkitClass;  // the "class" attribute, where the toolkit reports one
    int depth = 0;
};

class AccessibilityBus {
public:
    // `rootProperty` reads the display's AT_SPI_BUS root-window property.
    explicit AccessibilityBus(std::function<QString()> rootProperty);
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus&) = delete;
    AccessibilityBus& operator=(const AccessibilityBus&) = delete;

    // True when connected to the bus (connecting now if need be).
    bool available();

    // The applications registered on the bus.
    std::vector<AccessibleRef> applications();
    // The process id behind an application's bus name.
    std::optional<unsigned> processId(const QString& service);
    std::vector<AccessibleRef> children(const AccessibleRef& object);
    std::optional<QString> name(const AccessibleRef& object);
    // Screen extents, from the Component interface.
    std::optional<AccessibleExtents> extents(const AccessibleRef& object);
    // Every descendant of `root` (not root itself), depth first, parents
    // before their children, in the toolkit's child order; at most
    // `maxNodes`. Each tree level is asked for in one batch of calls.
    std::vector<AccessibleNode> descendants(const AccessibleRef& root, std::size_t maxNodes);
    // True while the object exists and is not defunct.
    bool alive(const AccessibleRef& object);
    QStringList interfaces(const AccessibleRef& object);
    std::optional<QString> text(const AccessibleRef& object);
    bool setTextContents(const AccessibleRef& object, const QString& text);
    QStringList actionNames(const AccessibleRef& object);
    bool doAction(const AccessibleRef& object, int index);

private:
    std::optional<QDBusConnection> connection();
    QString findAddress();
    std::optional<QDBusMessage> call(const AccessibleRef& object, const QString& interface,
                                     const QString& method, const QList<QVariant>& args = {});

    std::function<QString()> m_rootProperty;
    std::mutex m_mutex;
    std::unique_ptr<QDBusConnection> m_connection;
    QString m_connectionName;
    std::chrono::steady_clock::time_point m_retryAt{};
};

}  // namespace quillon::platform::x11
