#pragma once

#include "accessibility/adapters/AccessibilityElement.h"

#include <QString>
#include <optional>

namespace qw {

// What an AccessibilityElement handle names on the accessibility bus: one object (unique bus
// name and object path), the application of a process (resolved to its bus name only when
// asked, so that making the handle never talks to anyone), or the system-wide element.
struct AtspiElementRef {
    enum class Kind { object, application, systemWide };

    Kind kind = Kind::object;
    QString busName;
    QString path;
    qint32 pid = 0;

    static AccessibilityElement object(const QString& busName, const QString& path);
    static AccessibilityElement application(qint32 pid);
    static AccessibilityElement systemWide();
    static std::optional<AtspiElementRef> parse(const AccessibilityElement& element);

    static QString rootPath() { return QStringLiteral("/org/a11y/atspi/accessible/root"); }
    static QString nullPath() { return QStringLiteral("/org/a11y/atspi/null"); }
};

} // namespace qw
