#pragma once

#include "settings/SettingsView.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace qw {

class AppModel;
class LoginStartup;

// Starting at login: the switch, the desktop's state, why a change did not happen, the way
// to the desktop's own login-item settings and, once the program is ready to be used, the
// suggestion to turn it on.
class LoginStartupGroup final : public SettingsView {
    Q_OBJECT

public:
    LoginStartupGroup(AppModel& model, LoginStartup& startup, QWidget* parent = nullptr);

    QCheckBox* enabledSwitch() const { return m_enabled; }
    QLabel* state() const { return m_state; }
    QLabel* error() const { return m_error; }
    QPushButton* systemSettingsButton() const { return m_systemSettings; }
    QPushButton* withdrawButton() const { return m_withdraw; }
    QFrame* suggestion() const { return m_suggestion; }
    QPushButton* suggestionEnableButton() const { return m_suggestEnable; }
    QPushButton* suggestionDismissButton() const { return m_suggestDismiss; }

protected:
    void present() override;
    void showEvent(QShowEvent* event) override;

private:
    AppModel& m_model;
    LoginStartup& m_startup;
    QGroupBox* m_box;
    QCheckBox* m_enabled;
    QLabel* m_state;
    QLabel* m_error;
    QPushButton* m_systemSettings;
    QPushButton* m_withdraw;
    QLabel* m_note;
    QFrame* m_suggestion;
    QLabel* m_suggestionText;
    QPushButton* m_suggestEnable;
    QPushButton* m_suggestDismiss;
};

} // namespace qw
