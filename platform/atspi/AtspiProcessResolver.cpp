#include "platform/atspi/AtspiProcessResolver.h"

#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiProcessIds.h"
#include "platform/atspi/AtspiRequest.h"

namespace qw {

std::optional<QString> AtspiProcessResolver::busNameOf(AtspiRequest& request, qint32 pid)
{
    if (const auto known = m_pids.busNameOf(pid))
        return known;
    const QList<AtspiObject> applications =
        request.children({QStringLiteral("org.a11y.atspi.Registry"), AtspiElementRef::rootPath()});
    for (const AtspiObject& application : applications) {
        if (m_pids.pidOf(application.busName))
            continue;
        if (const auto owner = pidOf(request, application.busName); owner && *owner == pid)
            return application.busName;
    }
    return std::nullopt;
}

std::optional<qint32> AtspiProcessResolver::pidOf(AtspiRequest& request, const QString& busName)
{
    if (const auto known = m_pids.pidOf(busName))
        return known;
    const auto pid = request.first(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"), {busName});
    if (!pid)
        return std::nullopt;
    m_pids.remember(busName, qint32(pid->toUInt()));
    return qint32(pid->toUInt());
}

} // namespace qw
