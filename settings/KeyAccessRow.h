#pragma once

#include "settings/SettingsView.h"

class QLabel;
class QPushButton;

namespace qw {

class AppModel;

// Whether the selected provider's key can be read from the keyring without asking, and the
// button that asks once (the keyring may show its unlock prompt then).
class KeyAccessRow final : public SettingsView {
    Q_OBJECT

public:
    explicit KeyAccessRow(AppModel& model, QWidget* parent = nullptr);

    QLabel* state() const { return m_state; }
    QPushButton* authorizeButton() const { return m_authorize; }

protected:
    void present() override;

private:
    AppModel& m_model;
    QLabel* m_label;
    QLabel* m_state;
    QLabel* m_detail;
    QPushButton* m_authorize;
};

} // namespace qw
