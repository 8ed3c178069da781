#include "app/ReopenRequest.h"

namespace qw {

QString ReopenRequest::targetName() const
{
    switch (target) {
    case Target::guide:
        return QStringLiteral("guide");
    case Target::settings:
        return QStringLiteral("settings");
    case Target::nothing:
        break;
    }
    return {};
}

ReopenRequest ReopenRequest::fromNames(const QString& target, const QString& section)
{
    if (target == QStringLiteral("guide"))
        return {Target::guide, {}};
    if (target == QStringLiteral("settings"))
        return {Target::settings, section};
    return {};
}

} // namespace qw
