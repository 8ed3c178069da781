#include "platform/DesktopDiagnostics.h"

#include "accessibility/AXWorker.h"
#include "platform/ChromiumProcess.h"
#include "platform/LinuxDesktop.h"
#include "platform/SecretServiceBackend.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <cstdlib>
#include <xcb/xcb.h>

namespace qw {

namespace {

// As Qt decides where its tray icon goes: a StatusNotifierItem when the session's watcher has
// a host, otherwise the XEmbed tray, whose manager owns the _NET_SYSTEM_TRAY_S<screen> selection.
DesktopReport::Tray trayPresence()
{
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected() && session.interface()->isServiceRegistered(watcher)) {
        QDBusMessage get = QDBusMessage::createMethodCall(watcher, QStringLiteral("/StatusNotifierWatcher"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusMessage reply = session.call(get, QDBus::Block, 2000);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
            reply.arguments().first().value<QDBusVariant>().variant().toBool())
            return DesktopReport::Tray::present;
    }
    int screen = 0;
    xcb_connection_t* x = xcb_connect(nullptr, &screen);
    bool owned = false;
    if (!xcb_connection_has_error(x)) {
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 1, uint16_t(name.size()), name.constData()), nullptr);
        if (atom && atom->atom != XCB_ATOM_NONE) {
            xcb_get_selection_owner_reply_t* owner =
                xcb_get_selection_owner_reply(x, xcb_get_selection_owner(x, atom->atom), nullptr);
            owned = owner && owner->owner != XCB_WINDOW_NONE;
            std::free(owner);
        }
        std::free(atom);
    }
    xcb_disconnect(x);
    return owned ? DesktopReport::Tray::present : DesktopReport::Tray::absent;
}

} // namespace

DesktopReport::Session DesktopReport::sessionFromEnvironment()
{
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland" ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return Session::wayland;
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        return Session::x11;
    return Session::none;
}

DesktopDiagnostics::DesktopDiagnostics(LinuxDesktop& desktop, AXWorker& worker)
    : m_desktop(desktop), m_worker(worker)
{
}

QCoro::Task<DesktopReport> DesktopDiagnostics::collect()
{
    DesktopReport report;
    // The keyring calls block (D-Bus, possibly starting the service): keep them off this thread.
    auto inspectKeyring = [] {
        SecretServiceBackend keyring;
        return keyring.health();
    };
    report.keyring = co_await m_waiter.run(inspectKeyring);
    report.session = DesktopReport::sessionFromEnvironment();
    if (report.session == DesktopReport::Session::none)
        co_return report;
    AtspiBus& bus = m_desktop.accessibilityBus();
    auto waitForBus = [&bus] {
        return bus.waitUntilReady(busTimeout);
    };
    report.accessibilityBus = co_await m_waiter.run(waitForBus);
    report.accessibilityBusFailure = bus.failure();
    report.accessibilityEnabled = bus.isEnabled();
    report.screenReaderEnabled = bus.isScreenReaderEnabled();

    X11Workspace& workspace = m_desktop.workspace();
    report.activeWindowSupport = workspace.isConnected() && workspace.hasActiveWindowSupport();
    report.frontmost = workspace.isConnected() ? workspace.frontmostApplication() : std::nullopt;
    report.tray = trayPresence();
    if (report.accessibilityBus && report.frontmost) {
        auto read = m_worker.focus(*report.frontmost);
        const AXWorker::FocusResult focus = co_await read;
        report.focusedFieldFound = focus.first.has_value();
        report.focusDiagnostic = focus.second;
    }
    if (report.frontmost && !report.focusedFieldFound)
        report.chromiumWithoutWebAccessibility =
            ChromiumProcess::lacksRendererAccessibility(report.frontmost->pid);
    co_return report;
}

QCoro::Task<bool> DesktopDiagnostics::enableAccessibility()
{
    AtspiBus& bus = m_desktop.accessibilityBus();
    auto enable = [&bus] {
        return bus.enableBlocking(busTimeout);
    };
    co_return co_await m_waiter.run(enable);
}

} // namespace qw
