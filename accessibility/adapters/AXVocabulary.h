#pragma once

#include <QString>

// The words the bridge and its backends exchange through the accessibility adapter: element
// roles, attribute names and notifications. They are spelled here and nowhere else, so a typo
// is a compile error instead of an attribute nobody answers.
namespace qw::AXRole {

inline const QString textField = QStringLiteral("AXTextField");
inline const QString textArea = QStringLiteral("AXTextArea");
inline const QString textView = QStringLiteral("AXTextView");
inline const QString textEntryArea = QStringLiteral("AXTextEntryArea");
inline const QString comboBox = QStringLiteral("AXComboBox");
inline const QString group = QStringLiteral("AXGroup");
inline const QString staticText = QStringLiteral("AXStaticText");
inline const QString button = QStringLiteral("AXButton");
inline const QString window = QStringLiteral("AXWindow");
inline const QString application = QStringLiteral("AXApplication");
inline const QString systemWide = QStringLiteral("AXSystemWide");
inline const QString passwordField = QStringLiteral("AXPasswordField");
// What a role reads as when it could not be read.
inline const QString unknown = QStringLiteral("AXUnknown");
// Reported as the subrole of a password field.
inline const QString secureTextField = QStringLiteral("AXSecureTextField");

} // namespace qw::AXRole

namespace qw::AXAttribute {

inline const QString role = QStringLiteral("AXRole");
inline const QString subrole = QStringLiteral("AXSubrole");
inline const QString value = QStringLiteral("AXValue");
inline const QString selectedTextRange = QStringLiteral("AXSelectedTextRange");
inline const QString selectedText = QStringLiteral("AXSelectedText");
inline const QString focusedUIElement = QStringLiteral("AXFocusedUIElement");
inline const QString position = QStringLiteral("AXPosition");
inline const QString size = QStringLiteral("AXSize");
inline const QString parent = QStringLiteral("AXParent");
inline const QString editable = QStringLiteral("AXEditable");
inline const QString protectedContent = QStringLiteral("AXProtectedContent");
// Set on an Electron application to wake its accessibility tree.
inline const QString manualAccessibility = QStringLiteral("AXManualAccessibility");

} // namespace qw::AXAttribute

namespace qw::AXNotification {

inline const QString focusedUIElementChanged = QStringLiteral("AXFocusedUIElementChanged");
inline const QString valueChanged = QStringLiteral("AXValueChanged");

} // namespace qw::AXNotification
