#pragma once

#include "settings/SettingsView.h"

class QLabel;
class QPushButton;

namespace qw {

class AppModel;

// Whether this program may read other applications (the desktop's accessibility switch), and
// the button that turns the switch on. Programs that were already running when it was turned
// on may not notice it: the note names them.
class AccessibilityRow final : public SettingsView {
    Q_OBJECT

public:
    explicit AccessibilityRow(AppModel& model, QWidget* parent = nullptr);

    QLabel* state() const { return m_state; }
    QPushButton* grantButton() const { return m_grant; }

protected:
    void present() override;

private:
    AppModel& m_model;
    QLabel* m_label;
    QLabel* m_state;
    QPushButton* m_grant;
    QLabel* m_note;
};

} // namespace qw
