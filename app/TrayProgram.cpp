#include "app/TrayProgram.h"

#include "app/ApplicationDelegate.h"
#include "app/QuitDeadline.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/TrayIndicator.h"
#include "bubble/QtBubbleScreens.h"
#include "core/ApplicationId.h"
#include "core/SerialWorker.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "model/KeyringOperations.h"
#include "platform/DesktopApplications.h"
#include "platform/DesktopReport.h"
#include "platform/LinuxDesktop.h"
#include "platform/UserPrefixInstaller.h"
#include "platform/XdgAutostart.h"
#include "platform/x11/X11ActivationEvents.h"
#include "platform/x11/X11HotkeyService.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QLocale>
#include <QTextStream>
#include <unistd.h>

namespace qw {

namespace {

// One line through the desktop's notification service; on a desktop without one, on the
// terminal the program was started from.
void notifyDesktop(const QString& text)
{
    QDBusInterface notifications(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QDBusConnection::sessionBus());
    if (notifications.isValid()) {
        notifications.call(QStringLiteral("Notify"), L10n::text(L10N_KEY("Quillweave")), 0u, applicationId(),
                           L10n::text(L10N_KEY("Quillweave")), text, QStringList(), QVariantMap(), -1);
        return;
    }
    QTextStream(stderr) << text << Qt::endl;
}

} // namespace

int TrayProgram::run(bool launchedAtLogin)
{
    using namespace std::chrono_literals;
    SingleInstance instance(QDBusConnection::sessionBus());
    switch (instance.start(ReopenRequest{})) {
    case SingleInstance::Role::forwarded:
        return 0;
    case SingleInstance::Role::alone:
    case SingleInstance::Role::unanswered:
        QTextStream(stderr) << instance.notice() << Qt::endl;
        break;
    case SingleInstance::Role::primary:
    case SingleInstance::Role::notRunning:
        break;
    }

    QApplication::setQuitOnLastWindowClosed(false);
    LinuxDesktop desktop;
    X11ActivationEvents activations;
    desktop.workspace().followActivations(activations);
    X11HotkeyService hotkeys;
    XdgAutostart loginItems;
    DesktopApplications installed(desktop.desktopEntries());
    QtBubbleScreens screens;

    ApplicationDelegate delegate(
        ProgramEnvironment{m_shared.settings,
                           m_shared.clock,
                           m_shared.timers,
                           QTimeZone::systemTimeZone(),
                           m_shared.service,
                           desktop.platform(),
                           desktop.observers(),
                           desktop.mouse(),
                           activations,
                           hotkeys,
                           loginItems,
                           installed,
                           screens,
                           [&desktop] { return desktop.accessibility().isProcessTrusted(); },
                           [&desktop](const QString& text) { return desktop.clipboard().setString(text); },
                           KeyringOperations::presence(m_shared.keychain, m_shared.keyringWorker),
                           KeyringOperations::save(m_shared.keychain, m_shared.keyringWorker),
                           KeyringOperations::remove(m_shared.keychain, m_shared.keyringWorker),
                           [&desktop] { return desktop.accessibilityBus().enableBlocking(2s); },
                           {},
                           [&desktop](const QString& id) -> std::optional<QString> {
                               const auto entry = desktop.desktopEntries().entry(id);
                               return entry ? std::optional(entry->nameFor(QLocale().name())) : std::nullopt;
                           },
                           qint32(::getpid()),
                           applicationId(),
                           [] { return TrayIndicator::desktopHasTray(); },
                           notifyDesktop,
                           [] { QCoreApplication::quit(); },
                           DesktopReport::sessionFromEnvironment() == DesktopReport::Session::wayland,
                           UserPrefixInstaller::forRunningProgram()});

    // The accessibility bus coming, going (restarted under us) and coming back: the status
    // shows the gap while it lasts.
    QObject::connect(&desktop.accessibilityBus(), &AtspiBus::statusChanged, &delegate,
                     [&delegate] { delegate.model().refreshPermissionStatus(); });
    instance.onReopen = [&delegate](const ReopenRequest& request) {
        delegate.reopen(request);
    };
    TerminationSignals signals([](int) { QCoreApplication::quit(); });
    delegate.didFinishLaunching(launchedAtLogin);
    const int status = QCoreApplication::exec();
    // From here on nothing may keep the program: the user asked it to end.
    QuitDeadline::arm(status);
    // An unlock prompt the user opened is dismissed now: coroutines still waiting on the keyring
    // keep its worker alive past this function.
    if (!m_shared.keyringWorker.stop()) {
        // A keyring call ignored its cancellation and still uses the keyring objects: nothing
        // may be destroyed under it. Every setting is already on disk.
        delegate.terminate();
        ::_exit(status);
    }
    delegate.terminate();
    return status;
}

} // namespace qw
