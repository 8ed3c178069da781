#pragma once

#include <QString>

// The AT-SPI interfaces the accessibility backend speaks.
namespace qw::AtspiInterfaces {

inline const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");
inline const QString text = QStringLiteral("org.a11y.atspi.Text");
inline const QString editableText = QStringLiteral("org.a11y.atspi.EditableText");
inline const QString component = QStringLiteral("org.a11y.atspi.Component");
inline const QString collection = QStringLiteral("org.a11y.atspi.Collection");
inline const QString application = QStringLiteral("org.a11y.atspi.Application");
// Component calls take and give screen coordinates.
inline constexpr quint32 screenCoordinates = 0;

} // namespace qw::AtspiInterfaces
