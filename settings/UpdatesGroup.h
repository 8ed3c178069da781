#pragma once

#include "settings/SettingsView.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace qw {

class AppUpdates;

// "App updates" on the general page: the two switches, checking by hand, the go-ahead for a
// version found while automatic downloads are off, and the status line. A system installation
// shows only the status: its package manager brings updates.
class UpdatesGroup final : public SettingsView {
    Q_OBJECT

public:
    explicit UpdatesGroup(AppUpdates& updates, QWidget* parent = nullptr);

    QCheckBox* automaticChecksSwitch() const { return m_automaticChecks; }
    QCheckBox* automaticDownloadsSwitch() const { return m_automaticDownloads; }
    QPushButton* checkButton() const { return m_check; }
    QPushButton* installButton() const { return m_install; }
    QPushButton* laterButton() const { return m_later; }
    QLabel* status() const { return m_status; }

protected:
    void present() override;

private:
    AppUpdates& m_updates;
    QGroupBox* m_box;
    QCheckBox* m_automaticChecks;
    QCheckBox* m_automaticDownloads;
    QPushButton* m_check;
    QWidget* m_offer;
    QPushButton* m_install;
    QPushButton* m_later;
    QLabel* m_status;
};

} // namespace qw
