#pragma once

#include "core/SerialWorker.h"
#include "platform/DesktopReport.h"

#include <QCoroTask>

namespace qw {

class AXWorker;
class LinuxDesktop;

// Collects a DesktopReport from the real desktop without blocking the main thread: the keyring
// queries and waiting for the accessibility bus happen on a worker of its own, the focus read
// on the AXWorker.
class DesktopDiagnostics {
public:
    static constexpr std::chrono::milliseconds busTimeout{5000};

    DesktopDiagnostics(LinuxDesktop& desktop, AXWorker& worker);

    QCoro::Task<DesktopReport> collect();
    // Switches accessibility on for applications; false when the bus launcher refused.
    QCoro::Task<bool> enableAccessibility();

private:
    LinuxDesktop& m_desktop;
    AXWorker& m_worker;
    SerialWorker m_waiter{QStringLiteral("doctor")};
};

} // namespace qw
