#include "app/SingleInstance.h"
#include "tests/support/AsyncTestHelpers.h"

#include <QDBusConnection>
#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>

namespace qw {
namespace {

QProcessEnvironment englishEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("en"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

// Runs the probe to its end while this process keeps answering the bus.
struct ProbeRun {
    int exitCode = -1;
    QString out;
    QString err;
};
ProbeRun runProbe(const QStringList& arguments, QProcessEnvironment environment = englishEnvironment())
{
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(QW_SHELL_PROBE), arguments);
    EXPECT_TRUE(test::pumpUntil([&] { return probe.state() == QProcess::NotRunning; }));
    return {probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1,
            QString::fromUtf8(probe.readAllStandardOutput()),
            QString::fromUtf8(probe.readAllStandardError())};
}

// A second start of the program is the end-to-end run's; here, a command that opens a window
// (settings, guide) hands it to the running program, or says that none runs.
TEST(ShellProcessTest, AWindowCommandHandsItsRequestToTheRunningProgram)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        GTEST_SKIP() << "no session bus: run inside scripts/headless-session.sh";
    {
        SingleInstance first(bus);
        ASSERT_EQ(first.start({}), SingleInstance::Role::primary);
        std::optional<ReopenRequest> received;
        first.onReopen = [&](const ReopenRequest& request) {
            received = request;
        };

        const ProbeRun run =
            runProbe({QStringLiteral("handover"), QStringLiteral("settings"), QStringLiteral("models")});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.trimmed(), QStringLiteral("forwarded"));
        ASSERT_TRUE(received.has_value());
        EXPECT_EQ(received->targetName(), QStringLiteral("settings"));
        EXPECT_EQ(received->section, QStringLiteral("models"));
    }
    // The first one ended: the name is free again, and a command's window does not take it.
    EXPECT_EQ(runProbe({QStringLiteral("handover"), QStringLiteral("guide"), QString()}).out.trimmed(),
              QStringLiteral("notRunning"));
}

TEST(ShellProcessTest, WithoutASessionBusTheProgramRunsAloneAndSaysSoOnce)
{
    QProcessEnvironment environment = englishEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=/nonexistent/bus"));
    const ProbeRun run =
        runProbe({QStringLiteral("instance"), QStringLiteral("guide"), QString()}, environment);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("alone"));
    EXPECT_EQ(
        run.err.count(QStringLiteral("No session bus: Quillweave cannot tell whether it is already running, "
                                     "so this copy runs on its own")),
        1)
        << run.err.toStdString();
}

TEST(ShellProcessTest, ATerminationSignalEndsTheLoopAndTheTeardownRuns)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        QProcess probe;
        probe.start(QStringLiteral(QW_SHELL_PROBE), {QStringLiteral("signals")});
        QByteArray out;
        ASSERT_TRUE(test::pumpUntil([&] {
            out += probe.readAllStandardOutput();
            return out.contains("ready\n") || probe.state() == QProcess::NotRunning;
        }));
        ASSERT_EQ(out, QByteArray("ready\n"));
        ::kill(pid_t(probe.processId()), signal);
        ASSERT_TRUE(test::pumpUntil([&] { return probe.state() == QProcess::NotRunning; }));
        out += probe.readAllStandardOutput();
        EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit)
            << "killed by the signal instead of ending its loop";
        EXPECT_EQ(probe.exitCode(), 0);
        EXPECT_EQ(out, QByteArray("ready\nsignal ") + QByteArray::number(signal) + "\nteardown\n");
    }
}

} // namespace
} // namespace qw
