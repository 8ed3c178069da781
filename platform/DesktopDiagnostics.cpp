#include "platform/DesktopDiagnostics.h"

#include "accessibility/AXWorker.h"
#include "platform/LinuxDesktop.h"
#include "platform/SecretServiceBackend.h"

namespace qw {

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
    if (report.accessibilityBus && report.frontmost) {
        auto read = m_worker.focus(*report.frontmost);
        const AXWorker::FocusResult focus = co_await read;
        report.focusedFieldFound = focus.first.has_value();
        report.focusDiagnostic = focus.second;
    }
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
