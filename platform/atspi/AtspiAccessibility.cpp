#include "platform/atspi/AtspiAccessibility.h"

#include "accessibility/adapters/AXVocabulary.h"
#include "platform/atspi/AtspiBus.h"
#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/AtspiProcessIds.h"
#include "platform/atspi/AtspiRoles.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QRect>
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

const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString textInterface = QStringLiteral("org.a11y.atspi.Text");
const QString editableTextInterface = QStringLiteral("org.a11y.atspi.EditableText");
const QString componentInterface = QStringLiteral("org.a11y.atspi.Component");
const QString collectionInterface = QStringLiteral("org.a11y.atspi.Collection");
const QString applicationInterface = QStringLiteral("org.a11y.atspi.Application");
constexpr quint32 screenCoordinates = 0;
// The fallback search for the focused object looks at this many objects at most (Qt programs,
// which do not implement Collection, need 3 to 47 for ordinary windows).
constexpr int searchLimit = 300;
constexpr int hitTestDepth = 16;

void registerTypes()
{
    static std::once_flag once;
    std::call_once(once, [] { qDBusRegisterMetaType<MatchRule>(); });
}

int errorCodeOf(const QDBusError& error)
{
    switch (error.type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return AXErrorCode::cannotComplete;
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownProperty:
    case QDBusError::NotSupported:
        return AXErrorCode::attributeUnsupported;
    case QDBusError::UnknownObject:
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
        return AXErrorCode::invalidElement;
    case QDBusError::InvalidArgs:
        return AXErrorCode::illegalArgument;
    default:
        return AXErrorCode::failure;
    }
}

// (so) structures as they arrive: a reference to an object.
std::optional<std::pair<QString, QString>> objectReference(const QVariant& value)
{
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    QString busName;
    QDBusObjectPath path;
    argument.beginStructure();
    argument >> busName >> path;
    argument.endStructure();
    if (busName.isEmpty() || path.path().isEmpty() || path.path() == AtspiElementRef::nullPath())
        return std::nullopt;
    return std::pair{busName, path.path()};
}

QList<std::pair<QString, QString>> objectReferences(const QVariant& value)
{
    QList<std::pair<QString, QString>> result;
    if (!value.canConvert<QDBusArgument>())
        return result;
    const QDBusArgument argument = value.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QString busName;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> busName >> path;
        argument.endStructure();
        if (!busName.isEmpty() && path.path() != AtspiElementRef::nullPath())
            result.append({busName, path.path()});
    }
    argument.endArray();
    return result;
}

} // namespace

// The calls of one adapter operation, sharing one time budget.
class AtspiAccessibility::Request {
public:
    Request(QDBusConnection connection, std::chrono::milliseconds budget)
        : m_connection(std::move(connection)), m_deadline(std::chrono::steady_clock::now() + budget)
    {
    }

    int error() const { return m_error; }

    std::optional<QList<QVariant>> call(const QString& busName, const QString& path, const QString& interface,
                                        const QString& method, const QList<QVariant>& arguments = {})
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            m_deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            m_error = AXErrorCode::cannotComplete;
            return std::nullopt;
        }
        QDBusMessage message = QDBusMessage::createMethodCall(busName, path, interface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = m_connection.call(message, QDBus::Block, int(left.count()));
        if (reply.type() != QDBusMessage::ReplyMessage) {
            m_error = errorCodeOf(QDBusError(reply));
            return std::nullopt;
        }
        m_error = AXErrorCode::success;
        return reply.arguments();
    }

    // The first result of a call, when there is one.
    std::optional<QVariant> first(const QString& busName, const QString& path, const QString& interface,
                                  const QString& method, const QList<QVariant>& arguments = {})
    {
        const auto reply = call(busName, path, interface, method, arguments);
        if (!reply || reply->isEmpty()) {
            if (reply)
                m_error = AXErrorCode::noValue;
            return std::nullopt;
        }
        return reply->first();
    }

    std::optional<QVariant> property(const QString& busName, const QString& path, const QString& interface,
                                     const QString& name)
    {
        const auto value = first(busName, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                 QStringLiteral("Get"), {interface, name});
        if (!value)
            return std::nullopt;
        return value->value<QDBusVariant>().variant();
    }

    std::optional<quint32> role(const Object& object)
    {
        const auto value = first(object.busName, object.path, accessibleInterface, QStringLiteral("GetRole"));
        return value ? std::optional<quint32>(value->toUInt()) : std::nullopt;
    }

    std::optional<quint64> states(const Object& object)
    {
        const auto value =
            first(object.busName, object.path, accessibleInterface, QStringLiteral("GetState"));
        if (!value)
            return std::nullopt;
        const QList<quint32> words = qdbus_cast<QList<quint32>>(*value);
        if (words.size() < 2)
            return std::nullopt;
        return AtspiRoles::stateSet(words.at(0), words.at(1));
    }

    std::optional<QStringList> interfaces(const Object& object)
    {
        const auto value =
            first(object.busName, object.path, accessibleInterface, QStringLiteral("GetInterfaces"));
        return value ? std::optional<QStringList>(value->toStringList()) : std::nullopt;
    }

    std::optional<QString> text(const Object& object)
    {
        const auto value =
            first(object.busName, object.path, textInterface, QStringLiteral("GetText"), {0, -1});
        return value ? std::optional<QString>(value->toString()) : std::nullopt;
    }

    // The selection (or the caret as an empty selection) in the toolkit's offsets.
    std::optional<std::pair<int, int>> selection(const Object& object)
    {
        const auto count =
            first(object.busName, object.path, textInterface, QStringLiteral("GetNSelections"));
        if (!count)
            return std::nullopt;
        if (count->toInt() > 0) {
            const auto bounds =
                call(object.busName, object.path, textInterface, QStringLiteral("GetSelection"), {0});
            if (!bounds || bounds->size() < 2)
                return std::nullopt;
            const int start = bounds->at(0).toInt();
            const int end = bounds->at(1).toInt();
            if (start != end)
                return std::pair{std::min(start, end), std::max(start, end)};
        }
        const auto caret =
            property(object.busName, object.path, textInterface, QStringLiteral("CaretOffset"));
        if (!caret)
            return std::nullopt;
        return std::pair{caret->toInt(), caret->toInt()};
    }

    std::optional<QRect> extents(const Object& object)
    {
        const auto value = first(object.busName, object.path, componentInterface,
                                 QStringLiteral("GetExtents"), {screenCoordinates});
        if (!value || !value->canConvert<QDBusArgument>())
            return std::nullopt;
        const QDBusArgument argument = value->value<QDBusArgument>();
        int x = 0, y = 0, width = 0, height = 0;
        argument.beginStructure();
        argument >> x >> y >> width >> height;
        argument.endStructure();
        return QRect(x, y, width, height);
    }

    QList<Object> children(const Object& object)
    {
        QList<Object> result;
        const auto value =
            first(object.busName, object.path, accessibleInterface, QStringLiteral("GetChildren"));
        if (!value)
            return result;
        for (const auto& [busName, path] : objectReferences(*value))
            result.append({busName, path});
        return result;
    }

    bool succeeded(const std::optional<QVariant>& answer) { return answer && answer->toBool(); }

private:
    QDBusConnection m_connection;
    std::chrono::steady_clock::time_point m_deadline;
    int m_error = AXErrorCode::success;
};

AtspiAccessibility::AtspiAccessibility(AtspiBus& bus, AtspiFocusTracker& focus, AtspiProcessIds& pids,
                                       FrontmostPid frontmost)
    : m_bus(bus), m_focus(focus), m_pids(pids), m_frontmost(std::move(frontmost))
{
    registerTypes();
}

bool AtspiAccessibility::isProcessTrusted() const
{
    return m_bus.isReady() && m_bus.isEnabled();
}

AccessibilityElement AtspiAccessibility::applicationElement(qint32 pid)
{
    return AtspiElementRef::application(pid);
}

AccessibilityElement AtspiAccessibility::systemWideElement()
{
    return AtspiElementRef::systemWide();
}

std::optional<AtspiAccessibility::Description>
AtspiAccessibility::describe(Request& request, const Object& object, bool refresh)
{
    const QString key = object.busName + object.path;
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

std::optional<QRect> AtspiAccessibility::extentsOf(Request& request, const Object& object)
{
    // Position and size are asked one after the other; one answer serves both.
    const QString key = object.busName + object.path;
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

std::optional<quint32> AtspiAccessibility::freshRole(Request& request, const Object& object)
{
    const auto role = request.role(object);
    if (role) {
        std::lock_guard lock(m_mutex);
        auto it = m_descriptions.find(object.busName + object.path);
        if (it != m_descriptions.end() && it->role != *role)
            m_descriptions.erase(it);
    }
    return role;
}

std::optional<QStringList> AtspiAccessibility::interfacesOf(Request& request, const Object& object)
{
    const QString key = object.busName + object.path;
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

void AtspiAccessibility::setMessagingTimeout(const AccessibilityElement& element,
                                             std::chrono::milliseconds timeout)
{
    std::lock_guard lock(m_mutex);
    // Handles come and go with every read; the table only has to remember recent ones.
    if (m_timeouts.size() > 4096)
        m_timeouts.clear();
    m_timeouts.insert(element.identity(), timeout);
}

std::chrono::milliseconds AtspiAccessibility::timeoutOf(const AccessibilityElement& element) const
{
    std::lock_guard lock(m_mutex);
    return m_timeouts.value(element.identity(), defaultTimeout);
}

AttributeResult AtspiAccessibility::copyAttributeValue(const AccessibilityElement& element,
                                                       const QString& attribute)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref)
        return {AXErrorCode::invalidElement, {}};
    const auto connection = m_bus.connection();
    if (!connection)
        return {AXErrorCode::apiDisabled, {}};
    Request request(*connection, timeoutOf(element));
    switch (ref->kind) {
    case AtspiElementRef::Kind::systemWide:
        if (attribute == AXAttribute::focusedUIElement)
            return systemWideFocus(request);
        if (attribute == AXAttribute::role)
            return {AXErrorCode::success, AXRole::systemWide};
        return {AXErrorCode::attributeUnsupported, {}};
    case AtspiElementRef::Kind::application:
        if (attribute == AXAttribute::focusedUIElement)
            return focusedObject(request, ref->pid);
        if (attribute == AXAttribute::role)
            return {AXErrorCode::success, AXRole::application};
        return {AXErrorCode::attributeUnsupported, {}};
    case AtspiElementRef::Kind::object:
        return objectAttribute(request, {ref->busName, ref->path}, attribute);
    }
    return {AXErrorCode::failure, {}};
}

AttributeResult AtspiAccessibility::objectAttribute(Request& request, const Object& object,
                                                    const QString& attribute)
{
    auto failed = [&request] {
        return AttributeResult{request.error(), {}};
    };
    if (attribute == AXAttribute::role) {
        const auto description = describe(request, object);
        if (!description)
            return failed();
        return {AXErrorCode::success, AtspiRoles::axRole(description->role, description->states)};
    }
    if (attribute == AXAttribute::subrole || attribute == AXAttribute::protectedContent) {
        const auto description = describe(request, object);
        if (!description)
            return failed();
        const bool isProtected = AtspiRoles::isProtected(description->role);
        if (attribute == AXAttribute::protectedContent)
            return {AXErrorCode::success, isProtected};
        if (!isProtected)
            return {AXErrorCode::noValue, {}};
        return {AXErrorCode::success, AXRole::secureTextField};
    }
    if (attribute == AXAttribute::editable) {
        const auto description = describe(request, object);
        if (!description)
            return failed();
        return {AXErrorCode::success, AtspiRoles::has(description->states, AtspiRoles::editable)};
    }
    if (attribute == AXAttribute::position || attribute == AXAttribute::size) {
        const auto extents = extentsOf(request, object);
        if (!extents)
            return failed();
        if (attribute == AXAttribute::position)
            return {AXErrorCode::success, QPointF(extents->topLeft())};
        return {AXErrorCode::success, QSizeF(extents->size())};
    }
    if (attribute == AXAttribute::parent) {
        const auto parent =
            request.property(object.busName, object.path, accessibleInterface, QStringLiteral("Parent"));
        if (!parent)
            return failed();
        const auto reference = objectReference(*parent);
        if (!reference)
            return {AXErrorCode::noValue, {}};
        return {AXErrorCode::success, AtspiElementRef::object(reference->first, reference->second)};
    }
    if (attribute == AXAttribute::value || attribute == AXAttribute::selectedTextRange ||
        attribute == AXAttribute::selectedText) {
        // The role is asked afresh every time: GTK turns an entry into a password field and
        // back when its visibility changes.
        const auto role = freshRole(request, object);
        if (!role)
            return failed();
        if (AtspiRoles::isProtected(*role))
            return {AXErrorCode::attributeUnsupported, {}};
        const auto text = request.text(object);
        if (!text)
            return failed();
        if (attribute == AXAttribute::value)
            return {AXErrorCode::success, *text};
        const auto selection = request.selection(object);
        if (!selection)
            return failed();
        const OffsetUnit unit = unitOf(request, object.busName);
        const auto start = TextOffsets::fromPlatform(*text, selection->first, unit);
        const auto end = TextOffsets::fromPlatform(*text, selection->second, unit);
        if (!start || !end)
            return {AXErrorCode::failure, {}};
        const TextRange range{*start, *end - *start};
        if (attribute == AXAttribute::selectedTextRange)
            return {AXErrorCode::success, range};
        if (range.length == 0)
            return {AXErrorCode::noValue, {}};
        return {AXErrorCode::success, text->mid(range.location, range.length)};
    }
    return {AXErrorCode::attributeUnsupported, {}};
}

AttributeResult AtspiAccessibility::focusedObject(Request& request, qint32 pid)
{
    const auto busName = busNameOf(request, pid);
    if (!busName)
        return {request.error() == AXErrorCode::success ? AXErrorCode::noValue : request.error(), {}};
    // The tracked focus event first, verified: the object may have lost focus since.
    if (const auto tracked = m_focus.focusedPath(*busName)) {
        // Read afresh, and kept for the role read that follows.
        const auto description = describe(request, {*busName, *tracked}, true);
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

AttributeResult AtspiAccessibility::systemWideFocus(Request& request)
{
    if (const auto recent = m_focus.mostRecent()) {
        const auto description = describe(request, {recent->first, recent->second}, true);
        if (description && AtspiRoles::has(description->states, AtspiRoles::focused))
            return {AXErrorCode::success, AtspiElementRef::object(recent->first, recent->second)};
    }
    if (const auto pid = m_frontmost ? m_frontmost() : std::nullopt)
        return focusedObject(request, *pid);
    return {AXErrorCode::noValue, {}};
}

std::optional<AtspiAccessibility::Object> AtspiAccessibility::searchFocused(Request& request,
                                                                            const QString& busName)
{
    // Only the active window can hold the focused object; without one, every showing window.
    const QList<Object> windows = request.children({busName, AtspiElementRef::rootPath()});
    QList<Object> active;
    QList<Object> showing;
    for (const Object& window : windows) {
        const auto states = request.states(window);
        if (!states)
            continue;
        if (AtspiRoles::has(*states, AtspiRoles::active))
            active.append(window);
        else if (AtspiRoles::has(*states, AtspiRoles::showing))
            showing.append(window);
    }
    const QList<Object> candidates = active.isEmpty() ? showing : active;

    MatchRule rule;
    rule.states = {1 << AtspiRoles::focused, 0};
    for (const Object& window : candidates) {
        const auto matches =
            request.first(window.busName, window.path, collectionInterface, QStringLiteral("GetMatches"),
                          {QVariant::fromValue(rule), quint32(1), 0, true});
        if (matches) {
            const auto found = objectReferences(*matches);
            if (!found.isEmpty())
                return Object{found.first().first, found.first().second};
            continue;
        }
        if (request.error() == AXErrorCode::cannotComplete)
            return std::nullopt; // out of time
        // No Collection (Qt answers "unknown object" for interfaces it lacks): walk the
        // showing part of the window. A program that is gone fails the first step.
        QList<Object> queue{window};
        int visited = 0;
        while (!queue.isEmpty() && visited < searchLimit) {
            const Object current = queue.takeFirst();
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

std::optional<QString> AtspiAccessibility::busNameOf(Request& request, qint32 pid)
{
    if (const auto known = m_pids.busNameOf(pid))
        return known;
    const QList<Object> applications =
        request.children({QStringLiteral("org.a11y.atspi.Registry"), AtspiElementRef::rootPath()});
    for (const Object& application : applications) {
        if (m_pids.pidOf(application.busName))
            continue;
        if (const auto owner = pidOf(request, application.busName); owner && *owner == pid)
            return application.busName;
    }
    return std::nullopt;
}

std::optional<qint32> AtspiAccessibility::pidOf(Request& request, const QString& busName)
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

OffsetUnit AtspiAccessibility::unitOf(Request& request, const QString& busName)
{
    {
        std::lock_guard lock(m_mutex);
        if (const auto it = m_units.constFind(busName); it != m_units.constEnd())
            return *it;
    }
    const auto toolkit = request.property(busName, AtspiElementRef::rootPath(), applicationInterface,
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

SettableResult AtspiAccessibility::isAttributeSettable(const AccessibilityElement& element,
                                                       const QString& attribute)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref)
        return {AXErrorCode::invalidElement, false};
    if (ref->kind == AtspiElementRef::Kind::application)
        return {AXErrorCode::success, attribute == AXAttribute::manualAccessibility};
    if (ref->kind != AtspiElementRef::Kind::object)
        return {AXErrorCode::success, false};
    const auto connection = m_bus.connection();
    if (!connection)
        return {AXErrorCode::apiDisabled, false};
    const bool textWrite = attribute == AXAttribute::value || attribute == AXAttribute::selectedText;
    if (!textWrite && attribute != AXAttribute::selectedTextRange)
        return {AXErrorCode::success, false};
    Request request(*connection, timeoutOf(element));
    const Object object{ref->busName, ref->path};
    const auto description = describe(request, object);
    const auto interfaces = description ? interfacesOf(request, object) : std::nullopt;
    if (!description || !interfaces)
        return {request.error(), false};
    if (AtspiRoles::isProtected(description->role))
        return {AXErrorCode::success, false};
    if (!textWrite)
        return {AXErrorCode::success, interfaces->contains(textInterface)};
    return {AXErrorCode::success, interfaces->contains(editableTextInterface) &&
                                      AtspiRoles::has(description->states, AtspiRoles::editable)};
}

int AtspiAccessibility::setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                                          const AttributeValue& value)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref)
        return AXErrorCode::invalidElement;
    if (ref->kind == AtspiElementRef::Kind::application && attribute == AXAttribute::manualAccessibility) {
        // Chromium and Electron programs build their tree once a screen reader is said to run.
        const bool* on = std::get_if<bool>(&value);
        if (!on || !*on)
            return AXErrorCode::illegalArgument;
        return m_bus.enableScreenReaderBlocking(timeoutOf(element)) ? AXErrorCode::success
                                                                    : AXErrorCode::cannotComplete;
    }
    if (ref->kind != AtspiElementRef::Kind::object)
        return AXErrorCode::attributeUnsupported;
    const auto connection = m_bus.connection();
    if (!connection)
        return AXErrorCode::apiDisabled;
    Request request(*connection, timeoutOf(element));
    const Object object{ref->busName, ref->path};
    const auto role = freshRole(request, object);
    if (!role)
        return request.error();
    if (AtspiRoles::isProtected(*role))
        return AXErrorCode::attributeUnsupported;

    if (attribute == AXAttribute::value) {
        const QString* text = std::get_if<QString>(&value);
        if (!text)
            return AXErrorCode::illegalArgument;
        const auto done = request.first(object.busName, object.path, editableTextInterface,
                                        QStringLiteral("SetTextContents"), {*text});
        if (!done)
            return request.error();
        return done->toBool() ? AXErrorCode::success : AXErrorCode::failure;
    }
    if (attribute == AXAttribute::selectedTextRange) {
        const TextRange* range = std::get_if<TextRange>(&value);
        if (!range)
            return AXErrorCode::illegalArgument;
        return setRange(request, object, *range);
    }
    if (attribute == AXAttribute::selectedText) {
        const QString* text = std::get_if<QString>(&value);
        if (!text)
            return AXErrorCode::illegalArgument;
        return setSelectedText(request, object, *text);
    }
    return AXErrorCode::attributeUnsupported;
}

int AtspiAccessibility::setRange(Request& request, const Object& object, const TextRange& range)
{
    const auto text = request.text(object);
    if (!text)
        return request.error();
    const OffsetUnit unit = unitOf(request, object.busName);
    const auto start = TextOffsets::toPlatform(*text, range.location, unit);
    const auto end = TextOffsets::toPlatform(*text, range.end(), unit);
    if (range.length < 0 || !start || !end)
        return AXErrorCode::illegalArgument;
    if (*start == *end) {
        const auto done = request.first(object.busName, object.path, textInterface,
                                        QStringLiteral("SetCaretOffset"), {*start});
        return !done ? request.error() : done->toBool() ? AXErrorCode::success : AXErrorCode::failure;
    }
    const auto count =
        request.first(object.busName, object.path, textInterface, QStringLiteral("GetNSelections"));
    if (!count)
        return request.error();
    // SetSelection answers false while there is no selection to change: add one instead.
    const auto done = count->toInt() == 0 ? request.first(object.busName, object.path, textInterface,
                                                          QStringLiteral("AddSelection"), {*start, *end})
                                          : request.first(object.busName, object.path, textInterface,
                                                          QStringLiteral("SetSelection"), {0, *start, *end});
    if (!done)
        return request.error();
    return done->toBool() ? AXErrorCode::success : AXErrorCode::failure;
}

int AtspiAccessibility::setSelectedText(Request& request, const Object& object, const QString& replacement)
{
    const auto selection = request.selection(object);
    if (!selection)
        return request.error();
    const auto [start, end] = *selection;
    if (start < end) {
        const auto deleted = request.first(object.busName, object.path, editableTextInterface,
                                           QStringLiteral("DeleteText"), {start, end});
        if (!deleted)
            return request.error();
        if (!deleted->toBool())
            return AXErrorCode::failure;
    }
    if (replacement.isEmpty())
        return AXErrorCode::success;
    // The length of the inserted text is counted in bytes of UTF-8 by GTK, in UTF-16 units by Qt.
    const OffsetUnit unit = unitOf(request, object.busName);
    const int length = unit == OffsetUnit::utf16 ? int(replacement.size()) : int(replacement.toUtf8().size());
    const auto inserted = request.first(object.busName, object.path, editableTextInterface,
                                        QStringLiteral("InsertText"), {start, replacement, length});
    if (!inserted)
        return request.error();
    return inserted->toBool() ? AXErrorCode::success : AXErrorCode::failure;
}

ProcessIdResult AtspiAccessibility::processId(const AccessibilityElement& element)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref || ref->kind == AtspiElementRef::Kind::systemWide)
        return {AXErrorCode::illegalArgument, 0};
    if (ref->kind == AtspiElementRef::Kind::application)
        return {AXErrorCode::success, ref->pid};
    const auto connection = m_bus.connection();
    if (!connection)
        return {AXErrorCode::apiDisabled, 0};
    Request request(*connection, timeoutOf(element));
    const auto pid = pidOf(request, ref->busName);
    if (!pid)
        return {request.error(), 0};
    return {AXErrorCode::success, *pid};
}

ElementResult AtspiAccessibility::elementAtPosition(const AccessibilityElement& systemWide, QPointF point)
{
    const auto connection = m_bus.connection();
    if (!connection)
        return {AXErrorCode::apiDisabled, {}};
    const auto pid = m_frontmost ? m_frontmost() : std::nullopt;
    if (!pid)
        return {AXErrorCode::noValue, {}};
    Request request(*connection, timeoutOf(systemWide));
    const auto busName = busNameOf(request, *pid);
    if (!busName)
        return {AXErrorCode::noValue, {}};
    const QPoint at = point.toPoint();
    for (const Object& window : request.children({*busName, AtspiElementRef::rootPath()})) {
        const auto extents = request.extents(window);
        if (!extents || !extents->contains(at))
            continue;
        Object current = window;
        for (int depth = 0; depth < hitTestDepth; ++depth) {
            const auto hit =
                request.first(current.busName, current.path, componentInterface,
                              QStringLiteral("GetAccessibleAtPoint"), {at.x(), at.y(), screenCoordinates});
            const auto reference = hit ? objectReference(*hit) : std::nullopt;
            if (!reference || (reference->first == current.busName && reference->second == current.path))
                break;
            current = {reference->first, reference->second};
        }
        return {AXErrorCode::success, AtspiElementRef::object(current.busName, current.path)};
    }
    return {AXErrorCode::noValue, {}};
}

} // namespace qw
