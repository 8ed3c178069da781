#include "platform/atspi/AtspiElementRef.h"

namespace qw {

namespace {
// Bus names contain ':' and '.', object paths '/': '|' occurs in neither.
constexpr QChar separator = u'|';
const QString applicationTag = QStringLiteral("pid");
const QString systemWideTag = QStringLiteral("system-wide");
} // namespace

AccessibilityElement AtspiElementRef::object(const QString& busName, const QString& path)
{
    return AccessibilityElement(busName + separator + path);
}

AccessibilityElement AtspiElementRef::application(qint32 pid)
{
    return AccessibilityElement(applicationTag + separator + QString::number(pid));
}

AccessibilityElement AtspiElementRef::systemWide()
{
    return AccessibilityElement(systemWideTag);
}

std::optional<AtspiElementRef> AtspiElementRef::parse(const AccessibilityElement& element)
{
    const QString& identity = element.identity();
    if (identity == systemWideTag)
        return AtspiElementRef{Kind::systemWide, {}, {}, 0};
    const qsizetype split = identity.indexOf(separator);
    if (split <= 0 || split == identity.size() - 1)
        return std::nullopt;
    const QString head = identity.left(split);
    const QString tail = identity.mid(split + 1);
    if (head == applicationTag) {
        bool ok = false;
        const qint32 pid = tail.toInt(&ok);
        if (!ok || pid <= 0)
            return std::nullopt;
        return AtspiElementRef{Kind::application, {}, {}, pid};
    }
    if (!tail.startsWith(u'/'))
        return std::nullopt;
    return AtspiElementRef{Kind::object, head, tail, 0};
}

} // namespace qw
