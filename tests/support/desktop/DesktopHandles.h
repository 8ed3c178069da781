#pragma once

#include <QString>

// How the substitute desktop spells its handles: the system-wide element, an application
// element ("desktop-app:" + process id) and a control ("desktop-element:" + id).
namespace qw::test::DesktopHandles {

inline const QString systemWide = QStringLiteral("desktop-system-wide");
inline const QString applicationPrefix = QStringLiteral("desktop-app:");
inline const QString elementPrefix = QStringLiteral("desktop-element:");
// The clipboard type of plain text, and what a paste inserts.
inline const QString plainText = QStringLiteral("text/plain");

} // namespace qw::test::DesktopHandles
