#include "platform/atspi/AtspiFocusSearch.h"

#include "accessibility/adapters/AXErrorCode.h"
#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/AtspiInterfaces.h"
#include "platform/atspi/AtspiObjectCache.h"
#include "platform/atspi/AtspiProcessResolver.h"
#include "platform/atspi/AtspiRequest.h"
#include "platform/atspi/AtspiRoles.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <mutex>

namespace qw::atspi {
// Collection.GetMatches rule: states, state match, attributes, attribute match, roles, role
// match, interfaces, interface match, invert.
struct MatchRule {
    QList<int> states;
    int stateMatch = 1;
    QMap<QString, QString> attributes;
    int attributeMatch = 1;
    QList<int> roles;
    int roleMatch = 1;
    QStringList interfaces;
    int interfaceMatch = 1; // ALL: with an empty list anything else matches nothing
    bool invert = false;
};

inline QDBusArgument& operator<<(QDBusArgument& argument, const MatchRule& rule)
{
    argument.beginStructure();
    argument << rule.states << rule.stateMatch << rule.attributes << rule.attributeMatch << rule.roles
             << rule.roleMatch << rule.interfaces << rule.interfaceMatch << rule.invert;
    argument.endStructure();
    return argument;
}

inline const QDBusArgument& operator>>(const QDBusArgument& argument, MatchRule& rule)
{
    argument.beginStructure();
    argument >> rule.states >> rule.stateMatch >> rule.attributes >> rule.attributeMatch >> rule.roles >>
        rule.roleMatch >> rule.interfaces >> rule.interfaceMatch >> rule.invert;
    argument.endStructure();
    return argument;
}

} // namespace qw::atspi

Q_DECLARE_METATYPE(qw::atspi::MatchRule)

namespace qw {

using atspi::MatchRule;

namespace {

// The fallback search for the focused object looks at this many objects at most (Qt programs,
// which do not implement Collection, need 3 to 47 for ordinary windows).
constexpr int searchLimit = 300;
constexpr int hitTestDepth = 16;

void registerTypes()
{
    static std::once_flag once;
    std::call_once(once, [] { qDBusRegisterMetaType<MatchRule>(); });
}

} // namespace

AtspiFocusSearch::AtspiFocusSearch(AtspiFocusTracker& focus, AtspiProcessResolver& processes,
                                   AtspiObjectCache& cache, FrontmostPid frontmost)
    : m_focus(focus), m_processes(processes), m_cache(cache), m_frontmost(std::move(frontmost))
{
    registerTypes();
}

std::optional<qint32> AtspiFocusSearch::frontmostPid() const
{
    return m_frontmost ? m_frontmost() : std::nullopt;
}

AttributeResult AtspiFocusSearch::focusedObject(AtspiRequest& request, qint32 pid)
{
    const auto busName = m_processes.busNameOf(request, pid);
    if (!busName)
        return {request.error() == AXErrorCode::success ? AXErrorCode::noValue : request.error(), {}};
    // The tracked focus event first, verified: the object may have lost focus since.
    if (const auto tracked = m_focus.focusedPath(*busName)) {
        // Read afresh, and kept for the role read that follows.
        const auto description = m_cache.describe(request, {*busName, *tracked}, true);
        if (description && AtspiRoles::has(description->states, AtspiRoles::focused))
            return {AXErrorCode::success, AtspiElementRef::object(*busName, *tracked)};
    }
    if (const auto found = searchFocused(request, *busName)) {
        // Focus events sent before the application learnt of our listener never arrive: the
        // next read verifies what the search found with a single call.
        m_focus.focused(found->busName, found->path);
        return {AXErrorCode::success, AtspiElementRef::object(found->busName, found->path)};
    }
    return {request.error() == AXErrorCode::success ? AXErrorCode::noValue : request.error(), {}};
}

AttributeResult AtspiFocusSearch::systemWideFocus(AtspiRequest& request)
{
    if (const auto recent = m_focus.mostRecent()) {
        const auto description = m_cache.describe(request, {recent->first, recent->second}, true);
        if (description && AtspiRoles::has(description->states, AtspiRoles::focused))
            return {AXErrorCode::success, AtspiElementRef::object(recent->first, recent->second)};
    }
    if (const auto pid = frontmostPid())
        return focusedObject(request, *pid);
    return {AXErrorCode::noValue, {}};
}

std::optional<AtspiObject> AtspiFocusSearch::searchFocused(AtspiRequest& request, const QString& busName)
{
    // Only the active window can hold the focused object; without one, every showing window.
    const QList<AtspiObject> windows = request.children({busName, AtspiElementRef::rootPath()});
    QList<AtspiObject> active;
    QList<AtspiObject> showing;
    for (const AtspiObject& window : windows) {
        const auto states = request.states(window);
        if (!states)
            continue;
        if (AtspiRoles::has(*states, AtspiRoles::active))
            active.append(window);
        else if (AtspiRoles::has(*states, AtspiRoles::showing))
            showing.append(window);
    }
    const QList<AtspiObject> candidates = active.isEmpty() ? showing : active;

    MatchRule rule;
    rule.states = {1 << AtspiRoles::focused, 0};
    for (const AtspiObject& window : candidates) {
        const auto matches =
            request.first(window.busName, window.path, AtspiInterfaces::collection,
                          QStringLiteral("GetMatches"), {QVariant::fromValue(rule), quint32(1), 0, true});
        if (matches) {
            const auto found = AtspiRequest::objectReferences(*matches);
            if (!found.isEmpty())
                return found.first();
            continue;
        }
        if (request.error() == AXErrorCode::cannotComplete)
            return std::nullopt; // out of time
        // No Collection (Qt answers "unknown object" for interfaces it lacks): walk the
        // showing part of the window. A program that is gone fails the first step.
        QList<AtspiObject> queue{window};
        int visited = 0;
        while (!queue.isEmpty() && visited < searchLimit) {
            const AtspiObject current = queue.takeFirst();
            ++visited;
            const auto states = request.states(current);
            if (!states)
                return std::nullopt;
            if (AtspiRoles::has(*states, AtspiRoles::focused))
                return current;
            if (!AtspiRoles::has(*states, AtspiRoles::showing) && !(current.path == window.path))
                continue;
            queue.append(request.children(current));
        }
    }
    return std::nullopt;
}

ElementResult AtspiFocusSearch::elementAt(AtspiRequest& request, QPointF point)
{
    const auto pid = frontmostPid();
    if (!pid)
        return {AXErrorCode::noValue, {}};
    const auto busName = m_processes.busNameOf(request, *pid);
    if (!busName)
        return {AXErrorCode::noValue, {}};
    const QPoint at = point.toPoint();
    for (const AtspiObject& window : request.children({*busName, AtspiElementRef::rootPath()})) {
        const auto extents = request.extents(window);
        if (!extents || !extents->contains(at))
            continue;
        AtspiObject current = window;
        for (int depth = 0; depth < hitTestDepth; ++depth) {
            const auto hit = request.first(current.busName, current.path, AtspiInterfaces::component,
                                           QStringLiteral("GetAccessibleAtPoint"),
                                           {at.x(), at.y(), AtspiInterfaces::screenCoordinates});
            const auto reference = hit ? AtspiRequest::objectReference(*hit) : std::nullopt;
            if (!reference || (reference->busName == current.busName && reference->path == current.path))
                break;
            current = *reference;
        }
        return {AXErrorCode::success, AtspiElementRef::object(current.busName, current.path)};
    }
    return {AXErrorCode::noValue, {}};
}

} // namespace qw
