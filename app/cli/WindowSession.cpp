#include "app/cli/WindowSession.h"

#include "accessibility/AXWorker.h"
#include "core/ApplicationId.h"
#include "core/Delay.h"
#include "model/AppModel.h"
#include "model/KeyringOperations.h"
#include "platform/DesktopApplications.h"
#include "platform/DesktopDiagnostics.h"
#include "platform/DesktopReport.h"
#include "platform/LinuxDesktop.h"
#include "platform/XdgAutostart.h"
#include "settings/ConfirmationDialogs.h"
#include "settings/LoginStartup.h"
#include "settings/OnboardingState.h"
#include "settings/OnboardingWindow.h"

#include <QApplication>
#include <QPointer>

namespace qw {

struct WindowSession::Parts {
    explicit Parts(CliContext& context)
        : context(context), worker(desktop.platform()), diagnostics(desktop, worker),
          applications(desktop.desktopEntries()), startup(autostart, context.settings),
          onboarding(context.settings)
    {
    }

    CliContext& context;
    LinuxDesktop desktop;
    AXWorker worker;
    DesktopDiagnostics diagnostics;
    DesktopApplications applications;
    XdgAutostart autostart;
    LoginStartup startup;
    // Read before the model: a new installation starts with no allowed application.
    OnboardingState onboarding;
    std::unique_ptr<AppModel> model;
    QPointer<OnboardingWindow> guide;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

namespace {

// Where a confirmation opens: over the window the user is looking at.
QWidget* frontWindow()
{
    return QApplication::activeWindow();
}

QCoro::Task<void> enableAccessibility(DesktopDiagnostics& diagnostics, AppModel& model,
                                      std::shared_ptr<bool> alive)
{
    const bool enabled = co_await diagnostics.enableAccessibility();
    if (*alive && enabled)
        model.refreshPermissionStatus();
}

} // namespace

WindowSession::WindowSession(CliContext& context) : m_parts(std::make_unique<Parts>(context))
{
    Parts& p = *m_parts;
    AppModel::Collaborators collaborators{
        context.settings,
        context.clock,
        context.timers,
        context.timeZone,
        context.service,
        p.worker,
        std::make_shared<AXAccessGeneration>(),
        p.desktop.workspace(),
        [&p] { return p.desktop.accessibility().isProcessTrusted(); },
        [&p](const QString& text) { return p.desktop.clipboard().setString(text); },
        KeyringOperations::presence(context.keychain, context.keyringWorker),
        static_cast<qint32>(QCoreApplication::applicationPid())};
    collaborators.saveKey = KeyringOperations::save(context.keychain, context.keyringWorker);
    collaborators.removeKey = KeyringOperations::remove(context.keychain, context.keyringWorker);
    // Switching the desktop's accessibility on goes over the bus, off the main thread: the
    // answer comes later, through a fresh look at the permission.
    collaborators.requestTrust = [&p] {
        if (p.model)
            enableAccessibility(p.diagnostics, *p.model, p.alive);
        return p.desktop.accessibility().isProcessTrusted();
    };
    collaborators.installedApplicationName = context.installedApplicationName;
    collaborators.ownBundleID = applicationId();
    const QStringList defaultAllowed =
        p.onboarding.isNewInstallation() ? QStringList() : QStringList{AppModel::defaultAllowedApplication};
    p.model = std::make_unique<AppModel>(std::move(collaborators), defaultAllowed);

    AppModel& model = *p.model;
    model.callbacks().onRevokeConfirmationRequested = [&model](const TranslationApplication& app) {
        const QString id = app.bundleID;
        ConfirmationDialogs::askRevoke(frontWindow(), app, [&model, id] { model.removeAllowedApp(id); });
    };
    model.callbacks().onBrowserConfirmationRequested = [&model](const TranslationApplication& app) {
        ConfirmationDialogs::askAllowBrowser(frontWindow(), app,
                                             [&model, app] { model.allowApplication(app); });
    };
    model.refreshPermissionStatus();
}

WindowSession::~WindowSession()
{
    *m_parts->alive = false;
    delete m_parts->guide;
}

AppModel& WindowSession::model()
{
    return *m_parts->model;
}

LoginStartup& WindowSession::startup()
{
    return m_parts->startup;
}

InstalledApplications& WindowSession::installedApplications()
{
    return m_parts->applications;
}

OnboardingState& WindowSession::onboarding()
{
    return m_parts->onboarding;
}

void WindowSession::openGuide()
{
    Parts& p = *m_parts;
    if (!p.guide) {
        p.guide = new OnboardingWindow(OnboardingWindow::Shared{
            *p.model, p.startup, p.applications, p.onboarding,
            DesktopReport::sessionFromEnvironment() == DesktopReport::Session::wayland});
        p.guide->setAttribute(Qt::WA_DeleteOnClose);
    }
    p.guide->show();
    p.guide->raise();
    p.guide->activateWindow();
}

QCoro::Task<int> WindowSession::runUntilClosed(QWidget* firstWindow)
{
    // The session ends with its last window, not with the application: the command line
    // reports its own exit status.
    QApplication::setQuitOnLastWindowClosed(false);
    CancellationSource closed;
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, qApp, [&closed] { closed.cancel(); });
    firstWindow->show();
    firstWindow->raise();
    firstWindow->activateWindow();
    using namespace std::chrono_literals;
    const CancellationToken untilClosed = closed.token();
    while (!untilClosed.isCancelled())
        co_await delay(m_parts->context.timers, 24h, untilClosed);
    co_return ExitStatus::success;
}

} // namespace qw
