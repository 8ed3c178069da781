#include "app/SingleInstance.h"

#include "core/ApplicationId.h"
#include "l10n/L10n.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace qw {

namespace {

bool ownerVanished(const QString& errorName)
{
    return errorName == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") ||
           errorName == QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner");
}

} // namespace

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent) : QObject(parent), m_bus(std::move(bus))
{
}

SingleInstance::~SingleInstance()
{
    if (m_role == Role::primary && m_bus.isConnected())
        m_bus.interface()->unregisterService(serviceName());
    if (m_objectRegistered)
        m_bus.unregisterObject(objectPath());
}

QString SingleInstance::serviceName()
{
    return applicationId();
}

QString SingleInstance::objectPath()
{
    return QLatin1Char('/') + applicationId().replace(QLatin1Char('.'), QLatin1Char('/'));
}

SingleInstance::Claim SingleInstance::claim()
{
    // The object is in place before the name is taken: a second start that sees the name can
    // call it at once.
    if (!m_objectRegistered)
        m_objectRegistered = m_bus.registerObject(objectPath(), this, QDBusConnection::ExportScriptableSlots);
    const auto reply =
        m_bus.interface()->registerService(serviceName(), QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        m_detail = reply.error().name();
        return Claim::failed;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Claim::owned;
    return Claim::taken;
}

bool SingleInstance::forward(const ReopenRequest& request, QString* errorName)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(serviceName(), objectPath(), serviceName(), QStringLiteral("Reopen"));
    call << request.targetName() << request.section;
    call.setAutoStartService(false); // only a running program counts
    const QDBusMessage answer = m_bus.call(call, QDBus::Block, reopenTimeoutMilliseconds);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        *errorName = answer.errorName();
        return false;
    }
    return true;
}

SingleInstance::Role SingleInstance::start(const ReopenRequest& request)
{
    m_detail.clear();
    if (!m_bus.isConnected() || !m_bus.interface()) {
        m_role = Role::alone;
        return m_role;
    }
    // Two attempts: the owner may quit between our claim and our call.
    for (int attempt = 0; attempt < 2; ++attempt) {
        switch (claim()) {
        case Claim::owned:
            m_role = Role::primary;
            return m_role;
        case Claim::failed:
            m_role = Role::alone;
            return m_role;
        case Claim::taken:
            break;
        }
        QString errorName;
        if (forward(request, &errorName)) {
            m_role = Role::forwarded;
            break;
        }
        m_detail = errorName;
        m_role = Role::unanswered;
        if (!ownerVanished(errorName))
            break;
    }
    if (m_objectRegistered) {
        m_bus.unregisterObject(objectPath());
        m_objectRegistered = false;
    }
    return m_role;
}

SingleInstance::Role SingleInstance::handOver(const ReopenRequest& request)
{
    m_detail.clear();
    if (!m_bus.isConnected() || !m_bus.interface()) {
        m_role = Role::alone;
        return m_role;
    }
    QString errorName;
    if (forward(request, &errorName)) {
        m_role = Role::forwarded;
    } else if (ownerVanished(errorName)) {
        m_role = Role::notRunning;
    } else {
        m_detail = errorName;
        m_role = Role::unanswered;
    }
    return m_role;
}

QString SingleInstance::notice() const
{
    switch (m_role) {
    case Role::alone:
        return L10n::text(L10N_KEY("无法连接会话总线：不能确认织语是否已在运行，本次单独运行"));
    case Role::unanswered:
        return L10n::format(L10N_KEY("织语已在运行，但没有回应（%@）"), {m_detail});
    case Role::primary:
    case Role::forwarded:
    case Role::notRunning:
        break;
    }
    return {};
}

void SingleInstance::Reopen(const QString& target, const QString& section)
{
    if (m_role == Role::primary && onReopen)
        onReopen(ReopenRequest::fromNames(target, section));
}

} // namespace qw
