#include "accessibility/AXWorker.h"
#include "platform/DBusCheckFailures.h"
#include "platform/LinuxDesktop.h"
#include "tests/platform/DesktopTestApp.h"
#include "tests/support/AsyncTestHelpers.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
namespace test = qw::test;

// The process whose parent is `parent` (the bus launcher's own dbus-daemon), if any.
std::optional<pid_t> childOf(pid_t parent)
{
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid ...: the name may hold spaces, the last ")" ends it.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest.at(1).toInt() == parent)
            return pid;
    }
    return std::nullopt;
}

// Kills this session's accessibility bus (its daemon first, as in a crash, then the launcher)
// by the ids the private session bus gives; the next client that asks starts it again.
bool killAccessibilityBus()
{
    QDBusConnectionInterface* session = QDBusConnection::sessionBus().interface();
    const auto launcher = session->servicePid(u"org.a11y.Bus"_s);
    if (!launcher.isValid() || launcher.value() == 0)
        return false;
    const pid_t launcherPid = pid_t(launcher.value());
    if (const auto daemon = childOf(launcherPid))
        ::kill(*daemon, SIGKILL);
    ::kill(launcherPid, SIGKILL);
    return test::pumpUntil([&] { return !session->isServiceRegistered(u"org.a11y.Bus"_s).value(); });
}

// The accessibility bus restarts under the running program: reads stop meanwhile (the trust
// check says no, so the status shows the gap), and the bus comes back with the switch the user
// had turned on still on. Reading and typing on the new bus are checked on the whole program
// (tray_faults.py): GTK 3 and Qt 6 programs that were running do not register with a new bus
// (measured on Debian 12), only those started after it.
TEST(AccessibilityBusRestart, TheStatusShowsTheGapAndTheBusComesBackSwitchedOn)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("QW_HEADLESS_SESSION"))
        GTEST_SKIP() << "needs the private desktop of scripts/headless-session.sh";
    // Qt programs expose their tree once the switch is on; it must survive the restart.
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(u"org.a11y.Bus"_s, u"/org/a11y/bus"_s,
                                       u"org.freedesktop.DBus.Properties"_s, u"Set"_s)
        << u"org.a11y.Status"_s << u"IsEnabled"_s << QVariant::fromValue(QDBusVariant(true)));
    qw::LinuxDesktop desktop;
    ASSERT_TRUE(desktop.accessibilityBus().waitUntilReady(std::chrono::seconds(10)));
    ASSERT_TRUE(test::pumpUntil([&] { return desktop.workspace().hasActiveWindowSupport(); }));
    qw::AXWorker worker(desktop.platform());
    int losses = 0;
    int readies = 0;
    QObject::connect(&desktop.accessibilityBus(), &qw::AtspiBus::lost, [&] { ++losses; });
    QObject::connect(&desktop.accessibilityBus(), &qw::AtspiBus::ready, [&] { ++readies; });

    auto app = std::make_unique<qw::test::DesktopTestApp>(QStringList{u"--entry-text"_s, u"before"_s},
                                                          QStringLiteral(QW_QT_TEXT_APP));
    ASSERT_TRUE(app->start());
    ASSERT_TRUE(app->activate());
    auto fieldValue = [&]() -> std::optional<QString> {
        const auto front = desktop.workspace().frontmostApplication();
        if (!front || front->pid != app->pid())
            return std::nullopt;
        auto read = test::start(worker.focus(*front));
        const auto& [field, diagnostic] = read.wait();
        return field ? std::optional(field->value) : std::nullopt;
    };
    ASSERT_TRUE(test::pumpUntil([&] { return fieldValue() == u"before"_s; }));
    ASSERT_TRUE(desktop.accessibility().isProcessTrusted());

    ASSERT_TRUE(killAccessibilityBus());
    ASSERT_TRUE(test::pumpUntil([&] { return losses == 1; })) << "the loss went unnoticed";
    EXPECT_FALSE(desktop.accessibility().isProcessTrusted()) << "the status cannot show the gap";
    EXPECT_EQ(fieldValue(), std::nullopt);

    ASSERT_TRUE(test::pumpUntil([&] { return readies == 1; }, std::chrono::seconds(30)))
        << "no reconnection: " << desktop.accessibilityBus().failure().toStdString();
    EXPECT_TRUE(test::pumpUntil([&] { return desktop.accessibility().isProcessTrusted(); }))
        << "the accessibility switch did not survive the restart";
}

// Qt's accessibility bridge connects to the accessibility bus when the switch comes on; if the
// bus dies at that moment, it watches a name on a connection already closed, which libdbus took
// as a misuse bad enough to end the program. The same call on a private bus killed under it.
TEST(AccessibilityBusRestart, WatchingANameOnABusThatJustWentAwayDoesNotEndTheProgram)
{
    qw::keepDBusCheckFailuresNonFatal();
    QProcess daemon;
    daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    ASSERT_TRUE(daemon.waitForReadyRead(10000)) << "no private bus";
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    QDBusConnection bus = QDBusConnection::connectToBus(address, u"dying-bus"_s);
    ASSERT_TRUE(bus.isConnected());
    daemon.kill();
    daemon.waitForFinished();
    ASSERT_TRUE(test::pumpUntil([&] { return !bus.isConnected(); }));

    QObject receiver;
    // Qt records the hook all the same; what matters is that this process is still here.
    bus.connect(u"org.a11y.atspi.Registry"_s, u"/org/a11y/atspi/registry"_s, u"org.a11y.atspi.Registry"_s,
                u"EventListenerRegistered"_s, &receiver, SLOT(deleteLater()));
    QDBusConnection::disconnectFromBus(u"dying-bus"_s);
}

} // namespace
