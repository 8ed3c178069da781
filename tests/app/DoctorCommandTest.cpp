#include "app/cli/DoctorCommand.h"

#include "l10n/L10n.h"
#include "l10n/LocalizationState.h"
#include "tests/app/PrivateKeyringSession.h"
#include "tests/platform/KeyringControl.h"
#include "tests/support/AsyncTestHelpers.h"

#include <QCoroTask>
#include <QProcess>
#include <gtest/gtest.h>

namespace qw {
namespace {

DesktopReport healthyReport()
{
    DesktopReport report;
    report.session = DesktopReport::Session::x11;
    report.accessibilityBus = true;
    report.accessibilityEnabled = true;
    report.screenReaderEnabled = true;
    report.activeWindowSupport = true;
    report.frontmost =
        RunningApplication{4242, QStringLiteral("org.xfce.mousepad"), QStringLiteral("Mousepad"), {}, false};
    report.focusedFieldFound = true;
    report.focusDiagnostic =
        QStringLiteral("AXTextArea · readable · direct write: yes · safe selection: yes");
    report.keyring = {KeyringHealth::State::unlocked, 0};
    return report;
}

const char unlockedKeyringLine[] = "Keyring: Secret Service available, default keyring unlocked";
const char lockedLine[] =
    "Keyring: the default keyring is locked, so background translations cannot read the key. Unlock it in "
    "the keyring manager (Passwords and Keys, or KWalletManager), or run quillweave key authorize.";
const char noDefaultKeyringLine[] =
    "Keyring: Secret Service available, but there is no default keyring. Saving the first key asks to "
    "create one (with a password of its own); you can also create one in the keyring manager.";
const char noServiceLine[] =
    "Keyring: no Secret Service on the session bus. Start gnome-keyring "
    "(gnome-keyring-daemon --start --components=secrets) or KWallet, then run quillweave "
    "doctor again.";

class DoctorCommandTest : public ::testing::Test {
protected:
    void SetUp() override { LocalizationState::shared().setLanguage(InterfaceLanguage::english); }
    void TearDown() override { LocalizationState::shared().setLanguage(InterfaceLanguage::system); }
};

TEST_F(DoctorCommandTest, AHealthyDesktopNamesTheApplicationAndTheFieldsCapabilities)
{
    int problems = -1;
    const QStringList lines = DoctorCommand::reportLines(healthyReport(), &problems);
    EXPECT_EQ(problems, 0);
    EXPECT_TRUE(
        lines.contains(QStringLiteral("Frontmost application: Mousepad (org.xfce.mousepad, process 4242)")));
    EXPECT_TRUE(lines.contains(
        QStringLiteral("Focused field: AXTextArea · readable · direct write: yes · safe selection: yes")));
    EXPECT_EQ(lines.last(), QStringLiteral("Everything is ready."));
}

TEST_F(DoctorCommandTest, EachProblemComesWithItsFix)
{
    struct Row {
        const char* situation;
        std::function<void(DesktopReport&)> change;
        const char* expectedLine;
    };
    const Row rows[] = {
        {"no accessibility bus",
         [](DesktopReport& r) {
             r.accessibilityBus = false;
             r.accessibilityBusFailure = QStringLiteral("no accessibility bus address");
         },
         "Accessibility bus: cannot connect (no accessibility bus address). Install at-spi2-core and log in "
         "again."},
        {"accessibility off", [](DesktopReport& r) { r.accessibilityEnabled = false; },
         "Accessibility for applications: off. Run quillweave doctor enable to switch it on; Qt and Chromium "
         "applications that are already running need a restart."},
        {"window manager without an active window", [](DesktopReport& r) { r.activeWindowSupport = false; },
         "Window manager: no active window reported. Use a window manager that supports _NET_ACTIVE_WINDOW."},
        {"program without a desktop entry", [](DesktopReport& r) { r.frontmost->bundleID.reset(); },
         "Frontmost application: Mousepad (no desktop entry found, so it cannot be allowed; process 4242)"},
        // The other keyring states are read from real sessions below.
        {"keyring query failed",
         [](DesktopReport& r) {
             r.keyring = {KeyringHealth::State::failed, -2070};
         },
         "Keyring: the query failed (-2070). Restart gnome-keyring or KWallet."},
        {"no text field has the focus",
         [](DesktopReport& r) {
             r.focusedFieldFound = false;
             r.focusDiagnostic = QStringLiteral("none");
         },
         "Focused field: not found (none)"},
        {"no frontmost application", [](DesktopReport& r) { r.frontmost.reset(); },
         "Frontmost application: cannot be determined"},
        {"Wayland", [](DesktopReport& r) { r.session = DesktopReport::Session::wayland; },
         "Session: Wayland. Only applications running through XWayland can be recognised as the frontmost "
         "application and receive the paste keystroke; text fields of native Wayland applications cannot be "
         "followed."},
    };
    for (const Row& row : rows) {
        DesktopReport report = healthyReport();
        row.change(report);
        int problems = 0;
        const QStringList lines = DoctorCommand::reportLines(report, &problems);
        EXPECT_TRUE(lines.contains(QString::fromUtf8(row.expectedLine))) << row.situation;
        EXPECT_EQ(problems, 1) << row.situation;
        EXPECT_EQ(lines.last(), QStringLiteral("Items that need attention: 1.")) << row.situation;
    }
}

TEST_F(DoctorCommandTest, EnableAndWaitRunBeforeTheReportAndBadArgumentsAreRefused)
{
    QStringList calls;
    DoctorCommand::Desktop desktop;
    desktop.enable = [&calls]() -> QCoro::Task<bool> {
        calls << QStringLiteral("enable");
        co_return true;
    };
    desktop.wait = [&calls](std::chrono::seconds seconds) -> QCoro::Task<void> {
        calls << QStringLiteral("wait %1").arg(seconds.count());
        co_return;
    };
    desktop.collect = [&calls]() -> QCoro::Task<DesktopReport> {
        calls << QStringLiteral("collect");
        co_return healthyReport();
    };
    auto runWith = [&](QStringList words, QString* out, QString* err) {
        QTextStream outStream(out), errStream(err);
        DoctorCommand command(outStream, errStream);
        auto started = test::start(command.run(std::move(words), desktop));
        return started.wait();
    };

    QString out, err;
    EXPECT_EQ(runWith({QStringLiteral("enable"), QStringLiteral("wait"), QStringLiteral("3")}, &out, &err),
              ExitStatus::success);
    EXPECT_EQ(calls,
              (QStringList{QStringLiteral("enable"), QStringLiteral("wait 3"), QStringLiteral("collect")}));
    EXPECT_TRUE(out.startsWith(QStringLiteral("Accessibility for applications has been switched on.\n")));
    EXPECT_TRUE(out.endsWith(QStringLiteral("Everything is ready.\n")));

    for (const QStringList& bad : {QStringList{QStringLiteral("wait")}, QStringList{QStringLiteral("now")},
                                   QStringList{QStringLiteral("wait"), QStringLiteral("-1")}}) {
        calls.clear();
        QString badOut, badErr;
        EXPECT_EQ(runWith(bad, &badOut, &badErr), ExitStatus::usage) << bad.join(u' ').toStdString();
        EXPECT_EQ(badErr, QStringLiteral("Usage: quillweave doctor [enable] [wait <seconds>]\n"));
        EXPECT_TRUE(calls.isEmpty());
    }
}

// The program itself, as the user runs it, in sessions whose keyring is in each state: without
// a display, only the session and the keyring are reported.
TEST_F(DoctorCommandTest, TheKeyringLineTellsWhatTheSessionsKeyringOffers)
{
    using Keyring = test::PrivateKeyringSession::Keyring;
    struct Row {
        const char* situation;
        Keyring keyring;
        bool lockLogin;
        const char* expectedLine;
    };
    const Row rows[] = {
        {"no Secret Service", Keyring::none, false, noServiceLine},
        {"a keyring never logged into", Keyring::fresh, false, noDefaultKeyringLine},
        {"the login keyring, unlocked", Keyring::loggedIn, false, unlockedKeyringLine},
        {"the login keyring, locked", Keyring::loggedIn, true, lockedLine},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        test::PrivateKeyringSession session(row.keyring);
        ASSERT_TRUE(session.isReady());
        test::KeyringControl keyring(session.connection());
        const QString login = keyring.defaultCollection();
        if (row.lockLogin) {
            ASSERT_TRUE(keyring.lock(login));
        }

        QProcess doctor;
        doctor.setProcessEnvironment(session.environment());
        doctor.start(QStringLiteral(QW_QUILLWEAVE), {QStringLiteral("--interface-language"),
                                                     QStringLiteral("en"), QStringLiteral("doctor")});
        ASSERT_TRUE(doctor.waitForFinished(30000));
        EXPECT_EQ(doctor.exitCode(), ExitStatus::failure) << "there is no display";
        EXPECT_EQ(
            QString::fromUtf8(doctor.readAllStandardOutput()),
            QStringLiteral("Session: no graphical display (DISPLAY is not set). Run this inside a desktop "
                           "session.\n") +
                QString::fromUtf8(row.expectedLine) + u'\n');
        // Looking never changes the keyring: nothing unlocked, nothing created.
        EXPECT_EQ(keyring.defaultCollection(), login);
        if (!login.isEmpty()) {
            EXPECT_EQ(keyring.isLocked(login), row.lockLogin);
        }
    }
}

} // namespace
} // namespace qw
