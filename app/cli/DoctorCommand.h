#pragma once

#include "app/cli/CliContext.h"
#include "platform/ChromiumLaunchOverrides.h"
#include "platform/DesktopReport.h"

#include <QCoroTask>
#include <QStringList>
#include <chrono>
#include <functional>

namespace qw {

// `quillweave doctor [enable] [wait <seconds>]`: tells the user, in the interface language,
// what works on this desktop and how to fix what does not: the session type, the
// accessibility bus, whether applications expose their accessibility tree, the keyring, the
// frontmost application's id and the focused field's diagnostic line. It never prints a field's text.
// `enable` switches accessibility on first (and web content for Chromium-based programs, which
// `disable` takes back); `wait` gives the user time to switch to the application to be checked.
class DoctorCommand {
public:
    struct Desktop {
        std::function<QCoro::Task<DesktopReport>()> collect;
        std::function<QCoro::Task<bool>()> enable;
        std::function<QCoro::Task<void>(std::chrono::seconds)> wait;
        // Web-content accessibility for Chromium-based programs, switched on (true) or back off.
        std::function<ChromiumLaunchOverrides::Result(bool)> chromiumLaunchers;
    };

    DoctorCommand(QTextStream& out, QTextStream& err) : m_out(out), m_err(err) {}

    // Runs against the real desktop.
    QCoro::Task<int> run(QStringList arguments);
    QCoro::Task<int> run(QStringList arguments, Desktop desktop);

    // The report, one localized line each; `problems` receives how many need the user.
    static QStringList reportLines(const DesktopReport& report, int* problems = nullptr);

private:
    QTextStream& m_out;
    QTextStream& m_err;
};

} // namespace qw
