#include "platform/atspi/AtspiRoles.h"

namespace qw {

QString AtspiRoles::axRole(quint32 role, quint64 states)
{
    switch (role) {
    case passwordText:
        // Reported with the secure subrole and protected-content flag as well.
        return QStringLiteral("AXTextField");
    case entry:
    case spinButton:
        return has(states, multiLine) ? QStringLiteral("AXTextArea") : QStringLiteral("AXTextField");
    case text:
        // GTK's text view says it is multi-line; Qt's line edit (also "text") says neither.
        return has(states, multiLine) ? QStringLiteral("AXTextArea") : QStringLiteral("AXTextField");
    case comboBox:
        return QStringLiteral("AXComboBox");
    case paragraph:
    case documentFrame:
    case documentText:
    case documentWeb:
    case section:
    case panel:
    case terminal:
        return QStringLiteral("AXGroup");
    case frame:
    case window:
        return QStringLiteral("AXWindow");
    case application:
        return QStringLiteral("AXApplication");
    case pushButton:
        return QStringLiteral("AXButton");
    case label:
    case staticText:
        return QStringLiteral("AXStaticText");
    default:
        return QStringLiteral("AXUnknown");
    }
}

} // namespace qw
