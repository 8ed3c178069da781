#include "app/cli/SettingsCommand.h"

#include "app/SingleInstance.h"
#include "app/cli/WindowSession.h"
#include "l10n/L10n.h"
#include "settings/SettingsWindow.h"

#include <QApplication>
#include <QDBusConnection>

namespace qw {

QCoro::Task<int> SettingsCommand::run(QString sectionName)
{
    const std::optional<SettingsSection> section = sectionName.isEmpty()
                                                       ? std::optional(SettingsSection::general)
                                                       : settingsSectionFromCommandName(sectionName);
    if (!section || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // clang-format off
        m_context.err << L10n::text(L10N_KEY("用法：quillweave settings [--section general|translation|models|applications|privacy|shortcuts|diagnostics]"))
                      << Qt::endl;
        // clang-format on
        co_return ExitStatus::usage;
    }
    // A running tray program opens its own window: two models over one settings file would
    // undo each other's changes.
    SingleInstance running(QDBusConnection::sessionBus());
    if (running.handOver({ReopenRequest::Target::settings, commandName(*section)}) ==
        SingleInstance::Role::forwarded)
        co_return ExitStatus::success;
    WindowSession session(m_context);
    SettingsWindow window(SettingsWindow::Shared{session.model(), session.startup(),
                                                 session.installedApplications(), [&session] {
                                                     session.openGuide();
                                                 }});
    window.showSection(*section);
    const int status = co_await session.runUntilClosed(&window);
    co_return status;
}

} // namespace qw
