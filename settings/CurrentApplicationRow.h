#pragma once

#include "settings/SettingsView.h"

class QLabel;
class QPushButton;

namespace qw {

class AppModel;

// The application in front (the last one seen) and, when it is not allowed yet, the button
// that allows it (a browser asks its confirmation first).
class CurrentApplicationRow final : public SettingsView {
    Q_OBJECT

public:
    explicit CurrentApplicationRow(AppModel& model, QWidget* parent = nullptr);

    QLabel* application() const { return m_application; }
    QPushButton* allowButton() const { return m_allow; }

protected:
    void present() override;

private:
    AppModel& m_model;
    QLabel* m_label;
    QLabel* m_application;
    QPushButton* m_allow;
};

} // namespace qw
