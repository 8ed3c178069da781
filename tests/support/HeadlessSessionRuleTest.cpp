#include "tests/support/HeadlessSessionRule.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

namespace qw::test {
namespace {

// Run only as the child of the test below.
TEST(HeadlessSessionRuleChild, DISABLED_SkipsAsADesktopTestDoesWithoutItsDesktop)
{
    GTEST_SKIP() << "no desktop";
}

struct ChildRun {
    int exitCode = -1;
    QString output;
};

ChildRun runSkippingChild(bool inSession)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QW_HEADLESS_SESSION"));
    if (inSession)
        environment.insert(QStringLiteral("QW_HEADLESS_SESSION"), QStringLiteral("1"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"),
                 QStringLiteral("--gtest_filter=HeadlessSessionRuleChild.*")});
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit)
        return {};
    return {child.exitCode(), QString::fromLocal8Bit(child.readAll())};
}

TEST(HeadlessSessionRule, ASkipFailsInsideTheSessionAndStaysASkipOutside)
{
    const ChildRun inside = runSkippingChild(true);
    EXPECT_NE(inside.exitCode, 0) << inside.output.toStdString();
    EXPECT_TRUE(inside.output.contains(QStringLiteral(
        "HeadlessSessionRuleChild.DISABLED_SkipsAsADesktopTestDoesWithoutItsDesktop skipped inside the "
        "headless session")))
        << inside.output.toStdString();

    const ChildRun outside = runSkippingChild(false);
    EXPECT_EQ(outside.exitCode, 0) << outside.output.toStdString();
    EXPECT_TRUE(outside.output.contains(QStringLiteral("[  SKIPPED ] 1 test")))
        << outside.output.toStdString();
}

} // namespace
} // namespace qw::test
