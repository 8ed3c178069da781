#pragma once

#include "model/TranslationApplication.h"

#include <QDialog>

class QLineEdit;
class QListWidget;
class QDialogButtonBox;

namespace qw {

class InstalledApplications;

// Picks one of the installed applications: a search field that filters by name and id, the
// list (icon, name, id) and OK/Cancel. Usable from the keyboard alone: typing goes to the
// search field, the arrow keys move through the list, Enter takes the current row.
class ApplicationChooser : public QDialog {
    Q_OBJECT

public:
    explicit ApplicationChooser(InstalledApplications& applications, QWidget* parent = nullptr);

    // The rows left after the search, in list order (for the window's own checks).
    QStringList visibleIds() const;

Q_SIGNALS:
    // The user took an application; bundleID is its desktop-entry id without ".desktop".
    void chosen(const qw::TranslationApplication& app);

private:
    void filter(const QString& text);
    void accept() override;
    void updateOkButton();
    void relocalize();
    bool event(QEvent* event) override;

    QLineEdit* m_search = nullptr;
    QListWidget* m_list = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace qw
