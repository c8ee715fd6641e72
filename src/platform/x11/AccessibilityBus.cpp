#include "platform/x11/AccessibilityBus.h"

#include <QAtomicInteger>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

namespace quillon::platform::x11 {
namespace {

using namespace std::chrono_literals;

// An application answers in well under a second; one that does not is hung
// or busy, and the script line gets the answer of a bad handle instead.
constexpr int kCallTimeoutMs = 1500;
// Asking the session bus may start the accessibility bus's launcher.
constexpr int kAddressTimeoutMs = 3000;
constexpr auto kRetryPause = 5s;
// A look that had to wait for a time-out is not repeated as soon.
constexpr auto kSlowRetryPause = 60s;
// Objects asked about at once while a tree is walked.
constexpr std::size_t kCallsInFlight = 24;
// Beyond this depth a tree is cyclic or broken.
constexpr int kMaxDepth = 64;
// Objects whose state includes DEFUNCT have been destroyed.
constexpr unsigned kStateDefunct = 6;

const QString kAccessible = QStringLiteral("org.a11y.atspi.Accessible");
const QString kText = QStringLiteral("org.a11y.atspi.Text");
const QString kEditableText = QStringLiteral("org.a11y.atspi.EditableText");
const QString kAction = QStringLiteral("org.a11y.atspi.Action");
const QString kComponent = QStringLiteral("org.a11y.atspi.Component");

QString connectionName(const char* purpose)
{
    static QAtomicInteger<int> serial;
    return QStringLiteral("quillon-%1-%2").arg(QLatin1String(purpose)).arg(serial.fetchAndAddRelaxed(1));
}

QString environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? QString::fromLocal8Bit(value) : QString();
}

// The session bus, by the address the session gave us; never autolaunched,
// which would start a bus of its own for nobody's benefit.
QString sessionBusAddress()
{
    QString address = environment("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QString runtime = environment("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
            address = QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    }
    return address;
}

bool isReply(const QDBusMessage& message)
{
    return message.type() == QDBusMessage::ReplyMessage;
}

// Answers are only trusted after their signature is checked: an application
// is free to send anything.
// Reading needs the const members of QDBusArgument (the others write).
std::optional<const QDBusArgument> withSignature(const QVariant& value, const char* signature)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument arg = value.value<QDBusArgument>();
    if (arg.currentSignature() != QLatin1String(signature))
        return std::nullopt;
    return arg;
}

// The first argument of a reply, when the reply is one and has that signature.
std::optional<const QDBusArgument> firstArgument(const QDBusMessage& reply, const char* signature)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return withSignature(reply.arguments().at(0), signature);
}

std::vector<AccessibleRef> refsFrom(const QDBusMessage& reply)
{
    std::vector<AccessibleRef> refs;
    const auto held = firstArgument(reply, "a(so)");
    if (!held)
        return refs;
    const QDBusArgument& arg = *held;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString service;
        QDBusObjectPath path;
        arg.beginStructure();
        arg >> service >> path;
        arg.endStructure();
        refs.push_back({service, path.path()});
    }
    arg.endArray();
    return refs;
}

QString stringFrom(const QDBusMessage& reply)
{
    if (!isReply(reply) || reply.arguments().isEmpty())
        return {};
    const QVariant& v = reply.arguments().at(0);
    return v.userType() == QMetaType::QString ? v.toString() : QString();
}

QString classAttribute(const QDBusMessage& reply)
{
    const auto held = firstArgument(reply, "a{ss}");
    if (!held)
        return {};
    const QDBusArgument& arg = *held;
    QString result;
    arg.beginMap();
    while (!arg.atEnd()) {
        QString key, value;
        arg.beginMapEntry();
        arg >> key >> value;
        arg.endMapEntry();
        if (key == QLatin1String("class"))
            result = value;
    }
    arg.endMap();
    return result;
}

}  // namespace

AccessibilityBus::AccessibilityBus(std::function<QString()> rootProperty)
    : m_rootProperty(std::move(rootProperty))
{
}

AccessibilityBus::~AccessibilityBus()
{
    if (m_connection) {
        m_connection.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

bool AccessibilityBus::available()
{
    return connection().has_value();
}

std::optional<QDBusConnection> AccessibilityBus::connection()
{
    std::lock_guard lock(m_mutex);
    if (m_connection && m_connection->isConnected())
        return *m_connection;
    const auto now = std::chrono::steady_clock::now();
    if (now < m_retryAt)
        return std::nullopt;
    if (m_connection) {
        // The bus went away (its session ended); look for a new one.
        m_connection.reset();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
    const QString address = findAddress();
    const auto spent = std::chrono::steady_clock::now() - now;
    m_retryAt = now + (spent > 1s ? kSlowRetryPause : kRetryPause);
    if (address.isEmpty())
        return std::nullopt;
    m_connectionName = connectionName("a11y");
    QDBusConnection c = QDBusConnection::connectToBus(address, m_connectionName);
    if (!c.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        return std::nullopt;
    }
    m_connection = std::make_unique<QDBusConnection>(c);
    return c;
}

QString AccessibilityBus::findAddress()
{
    if (QString address = environment("AT_SPI_BUS_ADDRESS"); !address.isEmpty())
        return address;
    if (m_rootProperty) {
        if (QString address = m_rootProperty(); !address.isEmpty())
            return address;
    }
    const QString session = sessionBusAddress();
    if (session.isEmpty())
        return {};
    const QString name = connectionName("session");
    QString address;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(session, name);
        if (bus.isConnected()) {
            QDBusMessage ask = QDBusMessage::createMethodCall(
                QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
            const QDBusMessage reply = bus.call(ask, QDBus::Block, kAddressTimeoutMs);
            if (isReply(reply))
                address = stringFrom(reply);
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return address;
}

std::optional<QDBusMessage> AccessibilityBus::call(const AccessibleRef& object,
                                                   const QString& interface,
                                                   const QString& method,
                                                   const QList<QVariant>& args)
{
    if (object.isNull())
        return std::nullopt;
    std::optional<QDBusConnection> c = connection();
    if (!c)
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(object.service, object.path, interface, method);
    if (message.type() != QDBusMessage::MethodCallMessage)
        return std::nullopt;  // a service or path that is not well formed
    message.setArguments(args);
    QDBusMessage reply = c->call(message, QDBus::Block, kCallTimeoutMs);
    if (!isReply(reply))
        return std::nullopt;
    return reply;
}

std::vector<AccessibleRef> AccessibilityBus::applications()
{
    const AccessibleRef registry{QStringLiteral("org.a11y.atspi.Registry"),
                                 QStringLiteral("/org/a11y/atspi/accessible/root")};
    return children(registry);
}

std::optional<unsigned> AccessibilityBus::processId(const QString& service)
{
    const AccessibleRef bus{QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus")};
    const auto reply = call(bus, QStringLiteral("org.freedesktop.DBus"),
                            QStringLiteral("GetConnectionUnixProcessID"), {service});
    if (!reply || reply->arguments().isEmpty()
        || reply->arguments().at(0).userType() != QMetaType::UInt)
        return std::nullopt;
    return reply->arguments().at(0).toUInt();
}

std::vector<AccessibleRef> AccessibilityBus::children(const AccessibleRef& object)
{
    const auto reply = call(object, kAccessible, QStringLiteral("GetChildren"));
    return reply ? refsFrom(*reply) : std::vector<AccessibleRef>{};
}

std::optional<QString> AccessibilityBus::name(const AccessibleRef& object)
{
    const auto reply = call(object, QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("Get"), {kAccessible, QStringLiteral("Name")});
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    const QVariant value = reply->arguments().at(0).value<QDBusVariant>().variant();
    if (value.userType() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<AccessibleExtents> AccessibilityBus::extents(const AccessibleRef& object)
{
    // Coordinate type 0: screen coordinates.
    const auto reply = call(object, kComponent, QStringLiteral("GetExtents"), {0u});
    const auto held = reply ? firstArgument(*reply, "(iiii)") : std::nullopt;
    if (!held)
        return std::nullopt;
    const QDBusArgument& arg = *held;
    AccessibleExtents e;
    arg.beginStructure();
    arg >> e.x >> e.y >> e.width >> e.height;
    arg.endStructure();
    return e;
}

std::vector<AccessibleNode> AccessibilityBus::descendants(const AccessibleRef& root, std::size_t maxNodes)
{
    std::optional<QDBusConnection> c = connection();
    if (!c || root.isNull())
        return {};
    struct Pending {
        std::optional<QDBusPendingCall> children, role, attributes;
    };
    auto ask = [&](const AccessibleRef& object, const QString& method) {
        QDBusMessage m = QDBusMessage::createMethodCall(object.service, object.path, kAccessible, method);
        return c->asyncCall(m, kCallTimeoutMs);
    };
    // Breadth first, one batch of calls per level, so a deep form costs one
    // wait per level instead of one per control; then the tree is walked
    // depth first for the order the user reads it in.
    std::vector<AccessibleNode> nodes;  // every node found, by level
    std::vector<std::vector<std::size_t>> childIndexes;
    std::vector<std::size_t> level;
    std::vector<AccessibleRef> levelRefs = children(root);
    std::vector<std::size_t> rootChildren;
    for (int depth = 0; !levelRefs.empty() && depth < kMaxDepth && nodes.size() < maxNodes; ++depth) {
        if (nodes.size() + levelRefs.size() > maxNodes)
            levelRefs.resize(maxNodes - nodes.size());
        // A window of calls in flight: enough to keep the application busy,
        // few enough that none waits in its queue until its time-out.
        std::vector<Pending> pending(levelRefs.size());
        std::size_t sent = 0;
        auto sendUpTo = [&](std::size_t end) {
            for (; sent < std::min(end, levelRefs.size()); ++sent)
                pending[sent] = {ask(levelRefs[sent], QStringLiteral("GetChildren")),
                                 ask(levelRefs[sent], QStringLiteral("GetRoleName")),
                                 ask(levelRefs[sent], QStringLiteral("GetAttributes"))};
        };
        std::vector<AccessibleRef> next;
        std::vector<std::size_t> nextParents;
        for (std::size_t i = 0; i < levelRefs.size(); ++i) {
            sendUpTo(i + kCallsInFlight);
            const std::size_t index = nodes.size();
            Pending& p = pending[i];
            p.role->waitForFinished();
            p.attributes->waitForFinished();
            p.children->waitForFinished();
            nodes.push_back({levelRefs[i], stringFrom(p.role->reply()),
                             classAttribute(p.attributes->reply()), depth});
            childIndexes.emplace_back();
            if (depth == 0)
                rootChildren.push_back(index);
            else
                childIndexes[level[i]].push_back(index);
            for (const AccessibleRef& child : refsFrom(p.children->reply())) {
                next.push_back(child);
                nextParents.push_back(index);
            }
        }
        levelRefs = std::move(next);
        level = std::move(nextParents);
    }
    std::vector<AccessibleNode> ordered;
    ordered.reserve(nodes.size());
    std::vector<std::size_t> stack(rootChildren.rbegin(), rootChildren.rend());
    while (!stack.empty()) {
        const std::size_t index = stack.back();
        stack.pop_back();
        ordered.push_back(nodes[index]);
        const auto& kids = childIndexes[index];
        stack.insert(stack.end(), kids.rbegin(), kids.rend());
    }
    return ordered;
}

bool AccessibilityBus::alive(const AccessibleRef& object)
{
    const auto reply = call(object, kAccessible, QStringLiteral("GetState"));
    const auto held = reply ? firstArgument(*reply, "au") : std::nullopt;
    if (!held)
        return false;
    const QDBusArgument& arg = *held;
    std::vector<unsigned> words;
    arg.beginArray();
    while (!arg.atEnd()) {
        unsigned word = 0;
        arg >> word;
        words.push_back(word);
    }
    arg.endArray();
    return words.empty() || !(words[0] & (1u << kStateDefunct));
}

QStringList AccessibilityBus::interfaces(const AccessibleRef& object)
{
    const auto reply = call(object, kAccessible, QStringLiteral("GetInterfaces"));
    if (!reply || reply->arguments().isEmpty())
        return {};
    return reply->arguments().at(0).toStringList();
}

std::optional<QString> AccessibilityBus::text(const AccessibleRef& object)
{
    // End offset -1 asks for the whole text.
    const auto reply = call(object, kText, QStringLiteral("GetText"), {0, -1});
    if (!reply || reply->arguments().isEmpty()
        || reply->arguments().at(0).userType() != QMetaType::QString)
        return std::nullopt;
    return reply->arguments().at(0).toString();
}

bool AccessibilityBus::setTextContents(const AccessibleRef& object, const QString& text)
{
    const auto reply = call(object, kEditableText, QStringLiteral("SetTextContents"), {text});
    return reply && !reply->arguments().isEmpty() && reply->arguments().at(0).toBool();
}

QStringList AccessibilityBus::actionNames(const AccessibleRef& object)
{
    const auto reply = call(object, kAction, QStringLiteral("GetActions"));
    const auto held = reply ? firstArgument(*reply, "a(sss)") : std::nullopt;
    QStringList names;
    if (!held)
        return names;
    const QDBusArgument& arg = *held;
    arg.beginArray();
    while (!arg.atEnd()) {
        QString name, description, keys;
        arg.beginStructure();
        arg >> name >> description >> keys;
        arg.endStructure();
        names << name;
    }
    arg.endArray();
    return names;
}

bool AccessibilityBus::doAction(const AccessibleRef& object, int index)
{
    const auto reply = call(object, kAction, QStringLiteral("DoAction"), {index});
    return reply && !reply->arguments().isEmpty() && reply->arguments().at(0).toBool();
}

}  // namespace quillon::platform::x11
