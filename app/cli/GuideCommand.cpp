#include "app/cli/GuideCommand.h"

#include "app/SingleInstance.h"
#include "app/cli/WindowSession.h"
#include "l10n/L10n.h"
#include "platform/DesktopReport.h"
#include "settings/OnboardingWindow.h"

#include <QApplication>
#include <QDBusConnection>

namespace qw {

QCoro::Task<int> GuideCommand::run()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        m_context.err << L10n::text(L10N_KEY("用法：quillweave guide")) << Qt::endl;
        co_return ExitStatus::usage;
    }
    // A running tray program shows its own guide, over the model that is translating.
    SingleInstance running(QDBusConnection::sessionBus());
    if (running.handOver({ReopenRequest::Target::guide, QString()}) == SingleInstance::Role::forwarded)
        co_return ExitStatus::success;
    WindowSession session(m_context);
    OnboardingWindow window(OnboardingWindow::Shared{
        session.model(), session.startup(), session.installedApplications(), session.onboarding(),
        DesktopReport::sessionFromEnvironment() == DesktopReport::Session::wayland});
    const int status = co_await session.runUntilClosed(&window);
    co_return status;
}

} // namespace qw
