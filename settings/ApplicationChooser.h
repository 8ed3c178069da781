#pragma once

#include "model/TranslationApplication.h"

#include <QDialog>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace qw {

class InstalledApplications;

// Picks one of the installed applications: a search field that filters by name and id, the
// list (icon, name, id) and Add/Cancel. Usable from the keyboard alone: typing goes to the
// search field, the arrow keys move through the list from there, Enter takes the current row.
// Deleted once closed; show it with open() (window-modal on its parent).
class ApplicationChooser : public QDialog {
    Q_OBJECT

public:
    explicit ApplicationChooser(InstalledApplications& applications, QWidget* parent = nullptr);

    // The ids of the rows the search leaves, in list order.
    QStringList visibleIds() const;

    void accept() override;

Q_SIGNALS:
    // The user took an application; bundleID is its desktop-entry id without ".desktop".
    void chosen(const qw::TranslationApplication& app);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void populate();
    void filter();
    void updateButtons();
    void relocalize();

    InstalledApplications& m_applications;
    QLineEdit* m_search = nullptr;
    QListWidget* m_list = nullptr;
    QLabel* m_nothingFound = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace qw
