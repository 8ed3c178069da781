#include "platform/atspi/AtspiBus.h"

#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMetaObject>
#include <algorithm>

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
    m_connectionPrefix = QStringLiteral("quillweave-a11y-%1").arg(counter.fetch_add(1));
    m_livenessCheck = new QTimer(this);
    m_livenessCheck->setInterval(livenessCheckInterval);
    QObject::connect(m_livenessCheck, &QTimer::timeout, this, [this] {
        const auto current = connection();
        if (current && !current->isConnected())
            onDisconnected();
    });
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    QObject::connect(m_retry, &QTimer::timeout, this, &AtspiBus::connectToBus);
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
    QDBusConnection session = QDBusConnection::sessionBus();
    session.connect(launcherService, launcherPath, propertiesInterface, QStringLiteral("PropertiesChanged"),
                    this, SLOT(onStatusPropertiesChanged(QString, QVariantMap, QStringList)));
    // A new launcher means a new bus: the old connection is gone or about to go.
    auto* launcher =
        new QDBusServiceWatcher(launcherService, session, QDBusServiceWatcher::WatchForOwnerChange, this);
    QObject::connect(launcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                     [this](const QString&, const QString&, const QString& newOwner) {
                         if (const auto current = connection(); current && !current->isConnected())
                             onDisconnected();
                         else if (!current && !newOwner.isEmpty() && !m_connecting)
                             m_retry->start(0);
                     });
    connectToBus();
}

void AtspiBus::connectToBus()
{
    if (m_connecting)
        return;
    m_connecting = true;
    if (m_setup.joinable())
        m_setup.join(); // the last attempt's thread has already reported back
    // A fresh name each time: QtDBus hands back the old, dead connection for a name in use.
    m_connectionName = m_connectionPrefix + u'-' + QString::number(m_attempt++);
    m_setup = std::thread([this, name = m_connectionName] { connectInBackground(name); });
}

void AtspiBus::connectInBackground(const QString& connectionName)
{
    QString failure;
    std::optional<QDBusConnection> connection;
    const QDBusConnection session = QDBusConnection::sessionBus();
    std::optional<bool> enabled;
    std::optional<bool> screenReaderEnabled;
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
            QDBusConnection bus = QDBusConnection::connectToBus(address.value(), connectionName);
            if (bus.isConnected())
                connection = bus;
            else
                failure = bus.lastError().message();
        }
        enabled = readStatus(session, QStringLiteral("IsEnabled"));
        screenReaderEnabled = readStatus(session, QStringLiteral("ScreenReaderEnabled"));
    }
    m_enabled = enabled.value_or(false);
    m_screenReaderEnabled = screenReaderEnabled.value_or(false);
    {
        std::lock_guard lock(m_mutex);
        m_connection = connection;
        m_failure = failure;
        m_finished = true;
        m_ready = connection.has_value();
    }
    m_readyCondition.notify_all();
    QMetaObject::invokeMethod(this, &AtspiBus::finishSetup, Qt::QueuedConnection);
}

void AtspiBus::finishSetup()
{
    m_connecting = false;
    if (const auto current = connection()) {
        // A launcher started anew forgets the switches (they live in its memory on a desktop
        // without stored settings): what was on before the loss is put back on, however many
        // attempts it took to come back.
        if (m_switchedOnBeforeLoss && !m_enabled)
            requestEnable();
        m_switchedOnBeforeLoss = false;
        m_retryInterval = std::chrono::milliseconds(0);
        // QtDBus passes the library's own "Disconnected" signal on to whoever listens for it.
        QDBusConnection(*current).connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                                          QStringLiteral("org.freedesktop.DBus.Local"),
                                          QStringLiteral("Disconnected"), this, SLOT(onDisconnected()));
        m_livenessCheck->start();
        Q_EMIT ready();
    } else if (QDBusConnection::sessionBus().isConnected()) {
        retryLater();
    }
    Q_EMIT statusChanged();
}

void AtspiBus::onDisconnected()
{
    if (!connection())
        return;
    m_switchedOnBeforeLoss = m_enabled || m_screenReaderEnabled;
    dropConnection();
    Q_EMIT lost();
    Q_EMIT statusChanged();
    retryLater();
}

void AtspiBus::dropConnection()
{
    m_livenessCheck->stop();
    {
        std::lock_guard lock(m_mutex);
        m_connection.reset();
        m_ready = false;
    }
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void AtspiBus::retryLater()
{
    using namespace std::chrono_literals;
    m_retryInterval = m_retryInterval == 0ms ? 500ms : std::min(m_retryInterval * 2, longestRetryInterval);
    if (!m_connecting)
        m_retry->start(m_retryInterval);
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
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
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
