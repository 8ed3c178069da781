#pragma once

#include "settings/OnboardingState.h"
#include "settings/SettingsView.h"

#include <QSize>

class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace qw {

class AccessibilityRow;
class AppModel;
class ApiKeyEditor;
class ApplicationsPage;
class CloudConsentRow;
class ConnectionRow;
class InstalledApplications;
class LoginStartup;
class LoginStartupGroup;
class ProviderForm;

// The first-run guide: what is read and sent (and the accessibility switch), the translation
// service (the demo, or a provider with its key, consent and a connection test), the first
// allowed application, and start at login. Built from the settings pages' pieces. It opens at
// the step the user reached; every step, the postponement and the end are written to the
// guide's state as they happen.
class OnboardingWindow final : public SettingsView {
    Q_OBJECT

public:
    struct Shared {
        AppModel& model;
        LoginStartup& startup;
        InstalledApplications& installedApplications;
        OnboardingState& onboarding;
        // A native Wayland session: the guide says what works there and what does not yet.
        bool waylandSession = false;
    };

    static constexpr QSize windowSize{660, 640};

    explicit OnboardingWindow(Shared shared, QWidget* parent = nullptr);

    OnboardingState::Step shownStep() const;
    void showStep(OnboardingState::Step step);

    QLabel* stepTitle() const { return m_title; }
    QLabel* progress() const { return m_progress; }
    QLabel* waylandNote() const { return m_privacyWayland; }
    QPushButton* postponeButton() const { return m_postpone; }
    QPushButton* backButton() const { return m_back; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* finishButton() const { return m_finish; }
    QRadioButton* demoChoice() const { return m_demo; }
    QRadioButton* cloudChoice() const { return m_cloud; }
    AccessibilityRow* accessibility() const { return m_accessibility; }
    ProviderForm* providerForm() const { return m_provider; }
    ApiKeyEditor* keyEditor() const { return m_key; }
    CloudConsentRow* consent() const { return m_consent; }
    ConnectionRow* connection() const { return m_connection; }
    ApplicationsPage* applications() const { return m_applications; }
    LoginStartupGroup* startup() const { return m_startup; }

protected:
    void present() override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* privacyStep();
    QWidget* serviceStep();
    QWidget* applicationsStep();
    QWidget* finishStep();
    void addStep(QWidget* content);
    void go(int offset);

    AppModel& m_model;
    OnboardingState& m_onboarding;
    LoginStartup& m_loginStartup;
    InstalledApplications& m_installed;
    // The service step's choice; starts as the model stands.
    bool m_usesCloud = false;
    bool m_waylandSession = false;

    QLabel* m_title;
    QLabel* m_progress;
    QStackedWidget* m_steps;
    QPushButton* m_postpone;
    QPushButton* m_back;
    QPushButton* m_next;
    QPushButton* m_finish;

    QLabel* m_privacyIntro = nullptr;
    QLabel* m_privacyReading = nullptr;
    QLabel* m_privacySending = nullptr;
    QLabel* m_privacyWayland = nullptr;
    AccessibilityRow* m_accessibility = nullptr;
    QLabel* m_serviceIntro = nullptr;
    QRadioButton* m_demo = nullptr;
    QRadioButton* m_cloud = nullptr;
    QWidget* m_cloudControls = nullptr;
    ProviderForm* m_provider = nullptr;
    ApiKeyEditor* m_key = nullptr;
    CloudConsentRow* m_consent = nullptr;
    ConnectionRow* m_connection = nullptr;
    QLabel* m_applicationsIntro = nullptr;
    ApplicationsPage* m_applications = nullptr;
    QLabel* m_finishIntro = nullptr;
    QLabel* m_finishStatus = nullptr;
    LoginStartupGroup* m_startup = nullptr;
};

} // namespace qw
