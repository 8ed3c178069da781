// What the doctor says on desktops where the program works only in part: without a tray, and
// on Wayland. Neither is a problem the user must fix, beyond what the session line counts.
#include "app/cli/DoctorCommand.h"
#include "tests/support/InterfaceLanguageScope.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

TEST(DoctorPartialDesktopTest, NoTrayAndWaylandSayWhatStillWorks)
{
    test::InterfaceLanguageScope english{InterfaceLanguage::english};
    const QString noTray = QStringLiteral(
        "Tray: this desktop has no tray, so Quillweave shows no icon. Translation, the panel and the global "
        "hotkeys still work; run quillweave again to open the settings. On GNOME, the AppIndicator extension "
        "shows tray icons.");
    const QString wayland = QStringLiteral(
        "What works on Wayland: reading and writing the text fields of allowed applications through "
        "accessibility (AT-SPI). Not yet: the global hotkeys and telling which application is in front (both "
        "work only while an XWayland application is in front); use the tray menu and the panel instead.");
    const struct {
        DesktopReport::Session session;
        DesktopReport::Tray tray;
        QStringList shown;
        QStringList absent;
        int problems;
    } rows[] = {
        {DesktopReport::Session::x11, DesktopReport::Tray::absent, {noTray}, {wayland}, 0},
        {DesktopReport::Session::x11, DesktopReport::Tray::present, {}, {noTray, wayland}, 0},
        {DesktopReport::Session::wayland, DesktopReport::Tray::absent, {wayland, noTray}, {}, 1},
    };
    for (const auto& row : rows) {
        DesktopReport report;
        report.session = row.session;
        report.tray = row.tray;
        report.accessibilityBus = true;
        report.accessibilityEnabled = true;
        report.activeWindowSupport = true;
        report.keyring = {KeyringHealth::State::unlocked, 0};
        report.frontmost = RunningApplication{4242, QStringLiteral("org.xfce.mousepad"), {}, {}, false};
        report.focusedFieldFound = true;
        int problems = -1;
        const QStringList lines = DoctorCommand::reportLines(report, &problems);
        for (const QString& line : row.shown)
            EXPECT_TRUE(lines.contains(line)) << lines.join(u'\n').toStdString();
        for (const QString& line : row.absent)
            EXPECT_FALSE(lines.contains(line)) << lines.join(u'\n').toStdString();
        EXPECT_EQ(problems, row.problems) << lines.join(u'\n').toStdString();
    }
}

} // namespace
} // namespace qw
