#pragma once

#include "app/cli/CliContext.h"

#include <QCoroTask>
#include <functional>
#include <memory>

class QWidget;

namespace qw {

class AppModel;
class InstalledApplications;
class LoginStartup;
class OnboardingState;

// What `quillweave settings` and `quillweave guide` show their windows over: the application
// model on the real desktop (accessibility, keyring, settings file), start at login through
// the XDG autostart entry, the installed applications and the guide's state, wired as the tray
// program will wire them: the model's revocation and browser confirmations are the
// confirmation dialogs, shown over the window in front.
class WindowSession {
public:
    explicit WindowSession(CliContext& context);
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    AppModel& model();
    LoginStartup& startup();
    InstalledApplications& installedApplications();
    OnboardingState& onboarding();

    // Opens the guide (once; a second request raises it).
    void openGuide();
    // Runs until the user closed every window of the session; needs a QApplication.
    QCoro::Task<int> runUntilClosed(QWidget* firstWindow);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace qw
