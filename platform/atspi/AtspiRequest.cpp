#include "platform/atspi/AtspiRequest.h"

#include "accessibility/adapters/AXErrorCode.h"
#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiInterfaces.h"
#include "platform/atspi/AtspiRoles.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <algorithm>

namespace qw {

namespace {

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

} // namespace

AtspiRequest::AtspiRequest(QDBusConnection connection, std::chrono::milliseconds budget)
    : m_connection(std::move(connection)), m_deadline(std::chrono::steady_clock::now() + budget)
{
}

std::optional<QList<QVariant>> AtspiRequest::call(const QString& busName, const QString& path,
                                                  const QString& interface, const QString& method,
                                                  const QList<QVariant>& arguments)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - std::chrono::steady_clock::now());
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

std::optional<QVariant> AtspiRequest::first(const QString& busName, const QString& path,
                                            const QString& interface, const QString& method,
                                            const QList<QVariant>& arguments)
{
    const auto reply = call(busName, path, interface, method, arguments);
    if (!reply || reply->isEmpty()) {
        if (reply)
            m_error = AXErrorCode::noValue;
        return std::nullopt;
    }
    return reply->first();
}

std::optional<QVariant> AtspiRequest::property(const QString& busName, const QString& path,
                                               const QString& interface, const QString& name)
{
    const auto value = first(busName, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                             QStringLiteral("Get"), {interface, name});
    if (!value)
        return std::nullopt;
    return value->value<QDBusVariant>().variant();
}

std::optional<quint32> AtspiRequest::role(const AtspiObject& object)
{
    const auto value =
        first(object.busName, object.path, AtspiInterfaces::accessible, QStringLiteral("GetRole"));
    return value ? std::optional<quint32>(value->toUInt()) : std::nullopt;
}

std::optional<quint64> AtspiRequest::states(const AtspiObject& object)
{
    const auto value =
        first(object.busName, object.path, AtspiInterfaces::accessible, QStringLiteral("GetState"));
    if (!value)
        return std::nullopt;
    const QList<quint32> words = qdbus_cast<QList<quint32>>(*value);
    if (words.size() < 2)
        return std::nullopt;
    return AtspiRoles::stateSet(words.at(0), words.at(1));
}

std::optional<QStringList> AtspiRequest::interfaces(const AtspiObject& object)
{
    const auto value =
        first(object.busName, object.path, AtspiInterfaces::accessible, QStringLiteral("GetInterfaces"));
    return value ? std::optional<QStringList>(value->toStringList()) : std::nullopt;
}

std::optional<QString> AtspiRequest::text(const AtspiObject& object)
{
    const auto value =
        first(object.busName, object.path, AtspiInterfaces::text, QStringLiteral("GetText"), {0, -1});
    if (!value)
        return std::nullopt;
    QString text = value->toString();
    if (!text.isEmpty())
        return text;
    // GTK 4.8 entries answer "to the end" (-1) with nothing: an empty answer is believed only
    // when the field says it holds no characters.
    const auto count =
        property(object.busName, object.path, AtspiInterfaces::text, QStringLiteral("CharacterCount"));
    if (!count)
        return std::nullopt;
    if (count->toInt() <= 0)
        return text;
    const auto counted = first(object.busName, object.path, AtspiInterfaces::text, QStringLiteral("GetText"),
                               {0, count->toInt()});
    return counted ? std::optional<QString>(counted->toString()) : std::nullopt;
}

std::optional<std::pair<int, int>> AtspiRequest::selection(const AtspiObject& object)
{
    const auto count =
        first(object.busName, object.path, AtspiInterfaces::text, QStringLiteral("GetNSelections"));
    if (!count)
        return std::nullopt;
    if (count->toInt() > 0) {
        const auto bounds =
            call(object.busName, object.path, AtspiInterfaces::text, QStringLiteral("GetSelection"), {0});
        if (!bounds || bounds->size() < 2)
            return std::nullopt;
        const int start = bounds->at(0).toInt();
        const int end = bounds->at(1).toInt();
        if (start != end)
            return std::pair{std::min(start, end), std::max(start, end)};
    }
    const auto caret =
        property(object.busName, object.path, AtspiInterfaces::text, QStringLiteral("CaretOffset"));
    if (!caret)
        return std::nullopt;
    return std::pair{caret->toInt(), caret->toInt()};
}

std::optional<QRect> AtspiRequest::extents(const AtspiObject& object)
{
    const auto value = first(object.busName, object.path, AtspiInterfaces::component,
                             QStringLiteral("GetExtents"), {AtspiInterfaces::screenCoordinates});
    if (!value || !value->canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value->value<QDBusArgument>();
    int x = 0, y = 0, width = 0, height = 0;
    argument.beginStructure();
    argument >> x >> y >> width >> height;
    argument.endStructure();
    return QRect(x, y, width, height);
}

QList<AtspiObject> AtspiRequest::children(const AtspiObject& object)
{
    const auto value =
        first(object.busName, object.path, AtspiInterfaces::accessible, QStringLiteral("GetChildren"));
    if (!value)
        return {};
    return objectReferences(*value);
}

QList<std::optional<QVariant>> AtspiRequest::firstOfAll(const QList<AtspiObject>& objects,
                                                        const QString& method)
{
    QList<QDBusPendingCall> pending;
    pending.reserve(objects.size());
    const auto left = [this] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline -
                                                                     std::chrono::steady_clock::now());
    };
    for (const AtspiObject& object : objects) {
        const QDBusMessage message =
            QDBusMessage::createMethodCall(object.busName, object.path, AtspiInterfaces::accessible, method);
        pending.append(m_connection.asyncCall(message, int(std::max<qint64>(1, left().count()))));
    }
    QList<std::optional<QVariant>> answers;
    answers.reserve(objects.size());
    for (QDBusPendingCall& call : pending) {
        // Each call carries the time-out the budget had when it was sent.
        call.waitForFinished();
        const QDBusMessage reply = call.reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            m_error = reply.type() == QDBusMessage::ReplyMessage ? AXErrorCode::noValue
                                                                 : errorCodeOf(QDBusError(reply));
            answers.append(std::nullopt);
            continue;
        }
        m_error = AXErrorCode::success;
        answers.append(reply.arguments().first());
    }
    if (left().count() <= 0)
        m_error = AXErrorCode::cannotComplete;
    return answers;
}

QList<std::optional<quint64>> AtspiRequest::statesOfAll(const QList<AtspiObject>& objects)
{
    QList<std::optional<quint64>> states;
    for (const std::optional<QVariant>& value : firstOfAll(objects, QStringLiteral("GetState"))) {
        const QList<quint32> words = value ? qdbus_cast<QList<quint32>>(*value) : QList<quint32>();
        states.append(words.size() < 2
                          ? std::nullopt
                          : std::optional<quint64>(AtspiRoles::stateSet(words.at(0), words.at(1))));
    }
    return states;
}

QList<QList<AtspiObject>> AtspiRequest::childrenOfAll(const QList<AtspiObject>& objects)
{
    QList<QList<AtspiObject>> children;
    for (const std::optional<QVariant>& value : firstOfAll(objects, QStringLiteral("GetChildren")))
        children.append(value ? objectReferences(*value) : QList<AtspiObject>());
    return children;
}

std::optional<AtspiObject> AtspiRequest::objectReference(const QVariant& value)
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
    return AtspiObject{busName, path.path()};
}

QList<AtspiObject> AtspiRequest::objectReferences(const QVariant& value)
{
    QList<AtspiObject> result;
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

} // namespace qw
