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
// which do not implement Collection, need 3 to 47 for ordinary windows, GTK 4 ones about 100,
// a Qt editor with tabs about 140).
constexpr int searchLimit = 300;
constexpr int hitTestDepth = 16;
// Collection answers: enough for a focused page tab and its field, a handful at most.
constexpr int collectionMatches = 8;

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
    if (!busName) {
        // Not registered at all: the program was started before accessibility was on, or its
        // toolkit does not speak AT-SPI. Told apart from "registered, but nothing has focus".
        return {request.error() == AXErrorCode::success ? AXErrorCode::notImplemented : request.error(), {}};
    }
    // The tracked focus event first, verified: the object may have lost focus since.
    std::optional<AtspiObject> tracked;
    if (const auto path = m_focus.focusedPath(*busName)) {
        const AtspiObject object{*busName, *path};
        const bool latest = m_focus.mostRecent() == AtspiFocusTracker::Object{object.busName, object.path};
        if (const auto belief = believeTracked(request, object, latest)) {
            if (*belief == Focus::editable)
                return {AXErrorCode::success, AtspiElementRef::object(object.busName, object.path)};
            tracked = object;
        }
    }
    // A tracked object that cannot take text (a Qt page tab) gives way to an editable object
    // that claims focus as well.
    const auto found = searchFocused(request, *busName);
    const auto accept = [this](const AtspiObject& object) {
        // Focus events sent before the application learnt of our listener never arrive: the
        // next read verifies what the search found with a single call.
        m_focus.focused(object.busName, object.path);
        return AttributeResult{AXErrorCode::success, AtspiElementRef::object(object.busName, object.path)};
    };
    if (found && found->second == Focus::editable)
        return accept(found->first);
    if (!found && request.error() == AXErrorCode::cannotComplete)
        return {request.error(), {}};
    // No editable object claims focus, but the program was typed in since the last focus event
    // anywhere: the field a toolkit forgot to announce (GTK 4.8's search entries). Text a
    // program changes itself (at start, say) never outweighs an editable object that claims
    // focus: the search came first.
    if (const auto path = m_focus.typedPath(*busName)) {
        const AtspiObject object{*busName, *path};
        if (believeTracked(request, object, true) == Focus::editable)
            return {AXErrorCode::success, AtspiElementRef::object(object.busName, object.path)};
    }
    if (tracked)
        return {AXErrorCode::success, AtspiElementRef::object(tracked->busName, tracked->path)};
    if (found)
        return accept(found->first);
    return {request.error() == AXErrorCode::success ? AXErrorCode::noValue : request.error(), {}};
}

std::optional<AtspiFocusSearch::Focus>
AtspiFocusSearch::believeTracked(AtspiRequest& request, const AtspiObject& object, bool announcedLast)
{
    // Read afresh, and kept for the role read that follows.
    const auto description = m_cache.describe(request, object, true);
    if (!description)
        return std::nullopt;
    const bool editable = AtspiRoles::has(description->states, AtspiRoles::editable);
    if (AtspiRoles::has(description->states, AtspiRoles::focused))
        return editable ? Focus::editable : Focus::other;
    // GTK 4 search entries never carry the state. Their announcement (a focus event, or typing)
    // is believed for an editable text object until the next focus event of any program or
    // their own unfocus.
    if (!editable || !announcedLast)
        return std::nullopt;
    const auto interfaces = m_cache.interfacesOf(request, object);
    if (!interfaces || !interfaces->contains(AtspiInterfaces::text))
        return std::nullopt;
    return Focus::editable;
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

std::optional<std::pair<AtspiObject, AtspiFocusSearch::Focus>>
AtspiFocusSearch::searchFocused(AtspiRequest& request, const QString& busName)
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

    // Several objects may claim focus (Qt's current page tab does, beside the field): the first
    // editable one wins, else the first one met.
    std::optional<std::pair<AtspiObject, Focus>> first;
    std::optional<std::pair<AtspiObject, Focus>> editable;
    auto consider = [&first, &editable](const AtspiObject& object, quint64 states) {
        if (AtspiRoles::has(states, AtspiRoles::editable))
            editable = std::pair(object, Focus::editable);
        else if (!first)
            first = std::pair(object, Focus::other);
        return editable.has_value();
    };
    MatchRule rule;
    rule.states = {1 << AtspiRoles::focused, 0};
    for (const AtspiObject& window : candidates) {
        const auto matches = request.first(window.busName, window.path, AtspiInterfaces::collection,
                                           QStringLiteral("GetMatches"),
                                           {QVariant::fromValue(rule), quint32(1), collectionMatches, true});
        if (matches) {
            for (const AtspiObject& found : AtspiRequest::objectReferences(*matches)) {
                const auto states = request.states(found);
                if (states && consider(found, *states))
                    return editable;
            }
            continue;
        }
        if (request.error() == AXErrorCode::cannotComplete)
            return first; // out of time
        // No Collection (Qt, GTK 4): walk the window breadth first, a level at a time (every
        // question of a level is sent at once). Qt marks what is on screen "showing"; GTK 4.8
        // marks only the window so and its descendants merely "visible". A subtree that is
        // neither (a hidden page of a tab widget) is skipped. A program that is gone fails the
        // first step.
        QList<AtspiObject> level{window};
        int visited = 0;
        while (!level.isEmpty() && visited < searchLimit) {
            level = level.mid(0, searchLimit - visited);
            visited += int(level.size());
            const QList<std::optional<quint64>> states = request.statesOfAll(level);
            if (request.error() == AXErrorCode::cannotComplete)
                return first; // out of time
            QList<AtspiObject> expand;
            for (qsizetype i = 0; i < level.size(); ++i) {
                const std::optional<quint64>& state = states.at(i);
                if (!state) {
                    if (level.at(i).path == window.path)
                        return first;
                    continue;
                }
                if (AtspiRoles::has(*state, AtspiRoles::focused) && consider(level.at(i), *state))
                    return editable;
                const bool onScreen = AtspiRoles::has(*state, AtspiRoles::showing) ||
                                      AtspiRoles::has(*state, AtspiRoles::visible);
                if (onScreen || level.at(i).path == window.path)
                    expand.append(level.at(i));
            }
            level.clear();
            if (visited >= searchLimit)
                break; // their children would not be looked at
            for (const QList<AtspiObject>& children : request.childrenOfAll(expand))
                level.append(children);
        }
    }
    return first;
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
