#pragma once

#include "accessibility/adapters/AXErrorCode.h"
#include "platform/atspi/AtspiObject.h"

#include <QDBusConnection>
#include <QList>
#include <QRect>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <optional>
#include <utility>

namespace qw {

// The D-Bus calls of one adapter operation, sharing one time budget: every call is a blocking
// call on the calling (worker) thread with what is left of the budget as its time-out. A failed
// call leaves its adapter error code in `error()`.
class AtspiRequest {
public:
    AtspiRequest(QDBusConnection connection, std::chrono::milliseconds budget);

    int error() const { return m_error; }

    std::optional<QList<QVariant>> call(const QString& busName, const QString& path, const QString& interface,
                                        const QString& method, const QList<QVariant>& arguments = {});
    // The first result of a call, when there is one.
    std::optional<QVariant> first(const QString& busName, const QString& path, const QString& interface,
                                  const QString& method, const QList<QVariant>& arguments = {});
    std::optional<QVariant> property(const QString& busName, const QString& path, const QString& interface,
                                     const QString& name);

    std::optional<quint32> role(const AtspiObject& object);
    std::optional<quint64> states(const AtspiObject& object);
    std::optional<QStringList> interfaces(const AtspiObject& object);
    std::optional<QString> text(const AtspiObject& object);
    // The selection (or the caret as an empty selection) in the toolkit's offsets.
    std::optional<std::pair<int, int>> selection(const AtspiObject& object);
    std::optional<QRect> extents(const AtspiObject& object);
    QList<AtspiObject> children(const AtspiObject& object);

    // The same question to many objects, all sent before any answer is awaited: a walk waits one
    // round trip per level of the tree instead of one per object. A missing answer is none.
    QList<std::optional<quint64>> statesOfAll(const QList<AtspiObject>& objects);
    QList<QList<AtspiObject>> childrenOfAll(const QList<AtspiObject>& objects);

    // (so) structures as they arrive: a reference to an object, or an array of them.
    static std::optional<AtspiObject> objectReference(const QVariant& value);
    static QList<AtspiObject> objectReferences(const QVariant& value);

private:
    QList<std::optional<QVariant>> firstOfAll(const QList<AtspiObject>& objects, const QString& method);

    QDBusConnection m_connection;
    std::chrono::steady_clock::time_point m_deadline;
    int m_error = AXErrorCode::success;
};

} // namespace qw
