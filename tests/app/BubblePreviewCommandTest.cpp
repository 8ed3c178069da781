// `quillweave bubble-preview` as the user starts it: a process on the offscreen platform (no
// display needed), showing a sample state of a real model until it is closed.
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Row {
    const char* state;
    const char* language;
    const char* title;
};

class BubblePreviewCommandTest : public ::testing::TestWithParam<Row> {
protected:
    void start(const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QW_QUILLWEAVE), arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
        }
    }

    QTemporaryDir config;
    QProcess process;
};

// A known state shows its panel, titled, until it is closed; an unknown one is a usage error.
TEST_P(BubblePreviewCommandTest, ShowsTheStateUntilClosed)
{
    start({QStringLiteral("bubble-preview"), QStringLiteral("--state"), QString::fromUtf8(GetParam().state),
           QStringLiteral("--interface-language"), QString::fromUtf8(GetParam().language)});
    if (!GetParam().title) {
        ASSERT_TRUE(process.waitForFinished(15000));
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(process.readAllStandardError().contains("bubble-preview [--state"));
        return;
    }
    while (!process.canReadLine() && process.state() == QProcess::Running)
        ASSERT_TRUE(process.waitForReadyRead(15000)) << "no title within 15 s";
    EXPECT_EQ(QString::fromUtf8(process.readLine()).trimmed(), QString::fromUtf8(GetParam().title));
    EXPECT_EQ(process.state(), QProcess::Running) << "the panel stays until it is closed";
}

INSTANTIATE_TEST_SUITE_P(
    States, BubblePreviewCommandTest,
    // One state per language (the titles of the others are the bubble's own tests) and a usage error.
    ::testing::Values(Row{"replaced", "zh-Hans", "译文已替换 · 未发送"}, Row{"error", "en", "Did not finish"},
                      Row{"sleeping", "en", nullptr}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.state); });

} // namespace
