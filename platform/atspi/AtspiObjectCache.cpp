#include "platform/atspi/AtspiObjectCache.h"

#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiInterfaces.h"
#include "platform/atspi/AtspiRequest.h"

namespace qw {

std::optional<AtspiObjectCache::Description>
AtspiObjectCache::describe(AtspiRequest& request, const AtspiObject& object, bool refresh)
{
    const QString key = object.key();
    const auto now = std::chrono::steady_clock::now();
    if (!refresh) {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_descriptions.constFind(key);
            it != m_descriptions.constEnd() && now - it->readAt < descriptionLifetime)
            return *it;
    }
    const auto role = request.role(object);
    const auto states = role ? request.states(object) : std::nullopt;
    if (!role || !states)
        return std::nullopt;
    const Description description{*role, *states, now};
    std::lock_guard lock(m_mutex);
    if (m_descriptions.size() > 1024)
        m_descriptions.clear();
    m_descriptions.insert(key, description);
    return description;
}

std::optional<QRect> AtspiObjectCache::extentsOf(AtspiRequest& request, const AtspiObject& object)
{
    // Position and size are asked one after the other; one answer serves both.
    const QString key = object.key();
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_extents.constFind(key);
            it != m_extents.constEnd() && now - it->second < descriptionLifetime)
            return it->first;
    }
    const auto extents = request.extents(object);
    if (!extents)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    if (m_extents.size() > 1024)
        m_extents.clear();
    m_extents.insert(key, {*extents, now});
    return extents;
}

std::optional<quint32> AtspiObjectCache::freshRole(AtspiRequest& request, const AtspiObject& object)
{
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_descriptions.constFind(object.key());
            it != m_descriptions.constEnd() &&
            std::chrono::steady_clock::now() - it->readAt < freshRoleLifetime)
            return it->role;
    }
    const auto role = request.role(object);
    if (role) {
        std::lock_guard lock(m_mutex);
        auto it = m_descriptions.find(object.key());
        if (it != m_descriptions.end() && it->role != *role)
            m_descriptions.erase(it);
    }
    return role;
}

std::optional<QStringList> AtspiObjectCache::interfacesOf(AtspiRequest& request, const AtspiObject& object)
{
    const QString key = object.key();
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_interfaces.constFind(key); it != m_interfaces.constEnd())
            return *it;
    }
    const auto interfaces = request.interfaces(object);
    if (!interfaces)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    if (m_interfaces.size() > 4096)
        m_interfaces.clear();
    m_interfaces.insert(key, *interfaces);
    return interfaces;
}

void AtspiObjectCache::clear()
{
    std::lock_guard lock(m_mutex);
    m_units.clear();
    m_descriptions.clear();
    m_interfaces.clear();
    m_extents.clear();
}

OffsetUnit AtspiObjectCache::unitOf(AtspiRequest& request, const QString& busName)
{
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_units.constFind(busName); it != m_units.constEnd())
            return *it;
    }
    const auto toolkit = request.property(busName, AtspiElementRef::rootPath(), AtspiInterfaces::application,
                                          QStringLiteral("ToolkitName"));
    if (!toolkit)
        return OffsetUnit::codePoints; // not remembered: asked again next time
    const OffsetUnit unit = toolkit->toString().compare(u"Qt", Qt::CaseInsensitive) == 0
                                ? OffsetUnit::utf16
                                : OffsetUnit::codePoints;
    std::lock_guard lock(m_mutex);
    m_units.insert(busName, unit);
    return unit;
}

} // namespace qw
