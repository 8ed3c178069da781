#pragma once

#include "settings/SettingsView.h"

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace qw {

class AppModel;
class LoginStartup;
class LoginStartupGroup;

// The interface language, start at login, the way back into the first-run guide, updates (when
// the program has an updater) and the program's name and version.
class GeneralPage final : public SettingsView {
    Q_OBJECT

public:
    GeneralPage(AppModel& model, LoginStartup& startup, std::function<void()> openOnboarding,
                QWidget* parent = nullptr);

    // Shows the updater's controls above "About"; without one the page has no update group.
    void setUpdatesGroup(QWidget* group);

    QComboBox* languagePicker() const { return m_language; }
    LoginStartupGroup* startup() const { return m_startup; }
    QPushButton* onboardingButton() const { return m_onboarding; }

protected:
    void present() override;

private:
    AppModel& m_model;
    std::function<void()> m_openOnboarding;
    QVBoxLayout* m_column;
    QGroupBox* m_interface;
    QLabel* m_languageLabel;
    QComboBox* m_language;
    LoginStartupGroup* m_startup;
    QPushButton* m_onboarding;
    QGroupBox* m_about;
    QLabel* m_product;
    QLabel* m_version;
};

} // namespace qw
