#pragma once

#include "model/TranslationApplication.h"
#include "settings/SettingsView.h"

#include <QList>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace qw {

class AppModel;
class ApplicationChooser;
class CurrentApplicationRow;
class InstalledApplications;

// The applications this program may read: the one in front, one picked from the installed
// applications, and the list of allowed ones, each of which can be paused until midnight,
// resumed or revoked (after a confirmation).
class ApplicationsPage final : public SettingsView {
    Q_OBJECT

public:
    ApplicationsPage(AppModel& model, InstalledApplications& installed, QWidget* parent = nullptr);

    struct Row {
        TranslationApplication app;
        QWidget* widget = nullptr;
        QLabel* name = nullptr;
        QLabel* details = nullptr;
        QPushButton* pause = nullptr;
        QPushButton* revoke = nullptr;
    };

    CurrentApplicationRow* currentApplication() const { return m_current; }
    QPushButton* addButton() const { return m_add; }
    const QList<Row>& rows() const { return m_rows; }
    QLabel* emptyNote() const { return m_empty; }
    // The chooser while it is open.
    ApplicationChooser* chooser() const { return m_chooser; }

protected:
    void present() override;

private:
    void openChooser();
    void rebuildRows(const QList<TranslationApplication>& apps);

    AppModel& m_model;
    InstalledApplications& m_installed;
    QLabel* m_heading;
    QLabel* m_perApplicationNote;
    QLabel* m_pauseNote;
    CurrentApplicationRow* m_current;
    QPushButton* m_add;
    QLabel* m_empty;
    QVBoxLayout* m_list;
    QList<Row> m_rows;
    ApplicationChooser* m_chooser = nullptr;
};

} // namespace qw
