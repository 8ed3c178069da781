#include "platform/atspi/AtspiRoles.h"

#include "accessibility/adapters/AXVocabulary.h"

namespace qw {

QString AtspiRoles::axRole(quint32 role, quint64 states)
{
    switch (role) {
    case passwordText:
        // Reported with the secure subrole and protected-content flag as well.
        return AXRole::textField;
    case entry:
    case spinButton:
        return has(states, multiLine) ? AXRole::textArea : AXRole::textField;
    case text:
        // GTK's text view says it is multi-line; Qt's line edit (also "text") says neither.
        return has(states, multiLine) ? AXRole::textArea : AXRole::textField;
    case comboBox:
        return AXRole::comboBox;
    case paragraph:
    case documentFrame:
    case documentText:
    case documentWeb:
    case section:
    case panel:
    case terminal:
        return AXRole::group;
    case frame:
    case window:
        return AXRole::window;
    case application:
        return AXRole::application;
    case pushButton:
        return AXRole::button;
    case label:
    case staticText:
        return AXRole::staticText;
    default:
        return AXRole::unknown;
    }
}

} // namespace qw
