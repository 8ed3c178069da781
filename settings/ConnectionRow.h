#pragma once

#include "settings/SettingsView.h"

class QLabel;
class QPushButton;

namespace qw {

class AppModel;

// The result of the last connection test and the button that runs one (one fixed sample
// text is sent, never the user's).
class ConnectionRow final : public SettingsView {
    Q_OBJECT

public:
    explicit ConnectionRow(AppModel& model, QWidget* parent = nullptr);

    QLabel* status() const { return m_status; }
    QPushButton* testButton() const { return m_test; }

protected:
    void present() override;

private:
    AppModel& m_model;
    QLabel* m_label;
    QLabel* m_status;
    QLabel* m_note;
    QPushButton* m_test;
};

} // namespace qw
