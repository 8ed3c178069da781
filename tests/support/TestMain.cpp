#include "tests/support/HeadlessSessionRule.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

// Runs every test inside a QApplication so that timers, sockets and coroutines work. Tests
// never see the user's own configuration. Inside the headless session a skipped test fails.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new qw::test::HeadlessSessionRule);
    return RUN_ALL_TESTS();
}
