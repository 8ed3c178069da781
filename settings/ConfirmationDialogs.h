#pragma once

#include "model/TranslationApplication.h"

#include <functional>

class QMessageBox;
class QWidget;

namespace qw::ConfirmationDialogs {

// Each dialog is window-modal on `parent` (application-modal when null), opened without a
// nested event loop and deleted once closed. `onConfirmed` runs only when the user takes the
// confirming (second) button; cancelling, Escape or closing the window does nothing. The box is
// returned so that a caller (or a test) can find its buttons.

// Stops reading the application's text fields.
QMessageBox* askRevoke(QWidget* parent, const TranslationApplication& app, std::function<void()> onConfirmed);
// A browser's text fields include web forms: the user confirms that scope once.
QMessageBox* askAllowBrowser(QWidget* parent, const TranslationApplication& app,
                             std::function<void()> onConfirmed);
// Deletes the selected provider's key from the keyring.
QMessageBox* askDeleteKey(QWidget* parent, std::function<void()> onConfirmed);

} // namespace qw::ConfirmationDialogs
