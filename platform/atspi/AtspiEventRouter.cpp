#include "platform/atspi/AtspiEventRouter.h"

#include "platform/atspi/AtspiBus.h"
#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/AtspiProcessIds.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace qw {

namespace {
const QString objectEvents = QStringLiteral("org.a11y.atspi.Event.Object");
const QString focusEvents = QStringLiteral("org.a11y.atspi.Event.Focus");
constexpr int lookupTimeoutMs = 1000;
} // namespace

AtspiEventRouter::AtspiEventRouter(AtspiBus& bus, AtspiFocusTracker& focus, AtspiProcessIds& pids,
                                   QObject* parent)
    : QObject(parent), m_bus(bus), m_focus(focus), m_pids(pids)
{
    // Again after every reconnection of the bus: registrations die with the old bus.
    connect(&m_bus, &AtspiBus::ready, this, &AtspiEventRouter::subscribe);
    connect(&m_bus, &AtspiBus::lost, this, [this] {
        m_subscribed = false;
        m_waiting.clear();
        m_focus.clear();
        m_pids.clear();
    });
    if (m_bus.isReady())
        subscribe();
}

int AtspiEventRouter::addListener(Listener listener)
{
    const int id = m_nextListener++;
    m_listeners.insert(id, std::move(listener));
    return id;
}

void AtspiEventRouter::removeListener(int id)
{
    m_listeners.remove(id);
}

void AtspiEventRouter::subscribe()
{
    const auto connection = m_bus.connection();
    if (!connection || m_subscribed)
        return;
    QDBusConnection bus = *connection;
    bus.connect(QString(), QString(), objectEvents, QStringLiteral("StateChanged"), this,
                SLOT(onStateChanged(QDBusMessage)));
    bus.connect(QString(), QString(), objectEvents, QStringLiteral("TextChanged"), this,
                SLOT(onTextChanged(QDBusMessage)));
    bus.connect(QString(), QString(), focusEvents, QStringLiteral("Focus"), this,
                SLOT(onFocus(QDBusMessage)));
    bus.connect(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"), this,
                SLOT(onNameOwnerChanged(QString, QString, QString)));
    // Applications emit events only once a listener has told the registry about them, from
    // this very connection.
    for (const QString& event : {QStringLiteral("object:state-changed:focused"),
                                 QStringLiteral("object:text-changed"), QStringLiteral("focus:")}) {
        QDBusMessage registration = QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
        registration << event << QStringList() << QString();
        bus.asyncCall(registration, lookupTimeoutMs);
    }
    m_subscribed = true;
}

void AtspiEventRouter::onStateChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(0).toString() != u"focused")
        return;
    if (arguments.at(1).toInt() == 1) {
        m_focus.focused(message.service(), message.path());
        route({message.service(), message.path(), Kind::focus});
    } else {
        m_focus.unfocused(message.service(), message.path());
    }
}

void AtspiEventRouter::onTextChanged(const QDBusMessage& message)
{
    m_focus.textChanged(message.service(), message.path());
    route({message.service(), message.path(), Kind::textChanged});
}

void AtspiEventRouter::onFocus(const QDBusMessage& message)
{
    m_focus.focused(message.service(), message.path());
    route({message.service(), message.path(), Kind::focus});
}

void AtspiEventRouter::onNameOwnerChanged(const QString& name, const QString&, const QString& newOwner)
{
    if (!newOwner.isEmpty() || !name.startsWith(u':'))
        return;
    m_focus.forget(name);
    m_pids.forget(name);
    m_waiting.remove(name);
}

void AtspiEventRouter::route(const Event& event)
{
    if (m_listeners.isEmpty())
        return;
    if (const auto pid = m_pids.pidOf(event.busName)) {
        deliver(*pid, event);
        return;
    }
    const bool asking = m_waiting.contains(event.busName);
    m_waiting[event.busName].append(event);
    if (!asking)
        resolve(event.busName);
}

void AtspiEventRouter::resolve(const QString& busName)
{
    const auto connection = m_bus.connection();
    if (!connection)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    call << busName;
    auto* watcher = new QDBusPendingCallWatcher(connection->asyncCall(call, lookupTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, busName](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<quint32> reply = *call;
                const QList<Event> events = m_waiting.take(busName);
                if (reply.isError())
                    return;
                const qint32 pid = qint32(reply.value());
                m_pids.remember(busName, pid);
                for (const Event& event : events)
                    deliver(pid, event);
            });
}

void AtspiEventRouter::deliver(qint32 pid, const Event& event)
{
    // A listener may remove itself (or another) while being called.
    const QList<int> ids = m_listeners.keys();
    for (int id : ids) {
        const auto it = m_listeners.constFind(id);
        if (it != m_listeners.constEnd()) {
            const Listener listener = *it;
            listener(pid, event);
        }
    }
}

} // namespace qw
