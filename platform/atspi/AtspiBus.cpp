#include "platform/atspi/AtspiBus.h"

#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusVariant>
#include <QMetaObject>

namespace qw {

namespace {
const QString launcherService = QStringLiteral("org.a11y.Bus");
const QString launcherPath = QStringLiteral("/org/a11y/bus");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
// The launcher may have to start the bus first; after that every answer is quick.
constexpr int launcherTimeoutMs = 5000;

std::optional<bool> readStatus(const QDBusConnection& session, const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(launcherService, launcherPath, propertiesInterface,
                                                      QStringLiteral("Get"));
    get << statusInterface << name;
    const QDBusMessage reply = session.call(get, QDBus::Block, launcherTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().first().value<QDBusVariant>().variant().toBool();
}
} // namespace

AtspiBus::AtspiBus(QObject* parent) : QObject(parent)
{
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("quillweave-a11y-%1").arg(counter.fetch_add(1));
}

AtspiBus::~AtspiBus()
{
    if (m_setup.joinable())
        m_setup.join();
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void AtspiBus::start()
{
    if (m_started)
        return;
    m_started = true;
    QDBusConnection::sessionBus().connect(launcherService, launcherPath, propertiesInterface,
                                          QStringLiteral("PropertiesChanged"), this,
                                          SLOT(onStatusPropertiesChanged(QString, QVariantMap, QStringList)));
    m_setup = std::thread([this] { connectInBackground(); });
}

void AtspiBus::connectInBackground()
{
    QString failure;
    std::optional<QDBusConnection> connection;
    const QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        failure = QStringLiteral("no session bus");
    } else {
        QDBusMessage call = QDBusMessage::createMethodCall(launcherService, launcherPath, launcherService,
                                                           QStringLiteral("GetAddress"));
        const QDBusReply<QString> address = session.call(call, QDBus::Block, launcherTimeoutMs);
        if (!address.isValid() || address.value().isEmpty()) {
            failure = address.error().message().isEmpty() ? QStringLiteral("no accessibility bus address")
                                                          : address.error().message();
        } else {
            QDBusConnection bus = QDBusConnection::connectToBus(address.value(), m_connectionName);
            if (bus.isConnected())
                connection = bus;
            else
                failure = bus.lastError().message();
        }
        m_enabled = readStatus(session, QStringLiteral("IsEnabled")).value_or(false);
        m_screenReaderEnabled = readStatus(session, QStringLiteral("ScreenReaderEnabled")).value_or(false);
    }
    {
        std::lock_guard lock(m_mutex);
        m_connection = connection;
        m_failure = failure;
        m_finished = true;
        m_ready = connection.has_value();
    }
    m_readyCondition.notify_all();
    QMetaObject::invokeMethod(
        this, [this] { finishSetup(); }, Qt::QueuedConnection);
}

void AtspiBus::finishSetup()
{
    if (m_ready)
        Q_EMIT ready();
    Q_EMIT statusChanged();
}

std::optional<QDBusConnection> AtspiBus::connection() const
{
    std::lock_guard lock(m_mutex);
    return m_connection;
}

bool AtspiBus::waitUntilReady(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    m_readyCondition.wait_for(lock, timeout, [this] { return m_finished; });
    return m_connection.has_value();
}

QString AtspiBus::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void AtspiBus::onStatusPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                         const QStringList&)
{
    if (interface != statusInterface)
        return;
    if (changed.contains(QStringLiteral("IsEnabled")))
        m_enabled = changed.value(QStringLiteral("IsEnabled")).toBool();
    if (changed.contains(QStringLiteral("ScreenReaderEnabled")))
        m_screenReaderEnabled = changed.value(QStringLiteral("ScreenReaderEnabled")).toBool();
    Q_EMIT statusChanged();
}

void AtspiBus::setStatusProperty(const QString& name, bool value)
{
    QDBusMessage set = QDBusMessage::createMethodCall(launcherService, launcherPath, propertiesInterface,
                                                      QStringLiteral("Set"));
    set << statusInterface << name << QVariant::fromValue(QDBusVariant(value));
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(set, launcherTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, name, value](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                if (call->isError())
                    return;
                if (name == u"IsEnabled")
                    m_enabled = value;
                else
                    m_screenReaderEnabled = value;
                Q_EMIT statusChanged();
            });
}

void AtspiBus::requestEnable()
{
    for (const QString& name : {QStringLiteral("IsEnabled"), QStringLiteral("ScreenReaderEnabled")})
        setStatusProperty(name, true);
}

namespace {
bool setStatusBlocking(const QString& name, std::chrono::milliseconds timeout)
{
    QDBusMessage set = QDBusMessage::createMethodCall(launcherService, launcherPath, propertiesInterface,
                                                      QStringLiteral("Set"));
    set << statusInterface << name << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(set, QDBus::Block, int(timeout.count()));
    return reply.type() == QDBusMessage::ReplyMessage;
}
} // namespace

bool AtspiBus::enableScreenReaderBlocking(std::chrono::milliseconds timeout)
{
    if (!setStatusBlocking(QStringLiteral("ScreenReaderEnabled"), timeout))
        return false;
    m_screenReaderEnabled = true;
    return true;
}

bool AtspiBus::enableBlocking(std::chrono::milliseconds timeout)
{
    if (!setStatusBlocking(QStringLiteral("IsEnabled"), timeout))
        return false;
    m_enabled = true;
    return enableScreenReaderBlocking(timeout);
}

} // namespace qw
