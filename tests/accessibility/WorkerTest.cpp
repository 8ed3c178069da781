#include "accessibility/AXWorker.h"
#include "l10n/L10n.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

using test::DesktopApp;
using test::DesktopElement;
using test::SubstituteDesktop;

// The worker runs on its own thread; these tests wait for its answers through the event loop.
// No test depends on real time: deadlines run on the desktop's manual clock.
class WorkerTest : public ::testing::Test {
protected:
    FocusedField readField()
    {
        auto result = test::start(worker.focus(app.running())).wait();
        EXPECT_TRUE(result.first.has_value()) << result.second.toStdString();
        return result.first.value_or(FocusedField{});
    }

    SubstituteDesktop desktop;
    std::shared_ptr<AXAccessGeneration> generation = std::make_shared<AXAccessGeneration>();
    AXWorker worker{desktop.platform()};
    DesktopApp app = desktop.addApplication(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"));
    DesktopElement window = app.window();
};

TEST_F(WorkerTest, StalePermitReturnsTheEmptyResultWithoutTouchingTheEngine)
{
    window.textField(QStringLiteral("你好")).focus();
    const AXReadPermit permit = AXReadPermit::issue(generation);
    generation->advance();

    const auto focus = test::start(worker.focus(app.running(), permit)).wait();

    EXPECT_FALSE(focus.first.has_value());
    EXPECT_EQ(focus.second, QString());
    EXPECT_EQ(desktop.attributeReads(), 0);
    EXPECT_EQ(test::start(worker.snapshot(FocusedField{}, permit)).wait(), AXWorker::Snapshot{});
}

// A permit revoked during a focus read: after the second read the engine stops at its next
// step; after the very last read the engine still completes its field, but the worker must not
// hand it out (it keeps only the engine's diagnostic).
TEST_F(WorkerTest, PermitRevokedMidReadYieldsNoField)
{
    int total = 0;
    {
        SubstituteDesktop probe;
        auto probeApp = probe.addApplication(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"));
        probeApp.window().textField(QStringLiteral("你好")).focus();
        AXEngine probeEngine(probe.platform());
        ASSERT_TRUE(probeEngine.focusedField(probeApp.running()).has_value());
        total = probe.attributeReads();
    }
    window.textField(QStringLiteral("你好")).focus();
    for (const int revokedAfter : {2, total}) {
        SCOPED_TRACE(revokedAfter);
        const int before = desktop.attributeReads();
        const AXReadPermit permit = AXReadPermit::issue(generation);
        auto shared = generation;
        desktop.afterReads(revokedAfter, [shared] { shared->advance(); });

        const auto focus = test::start(worker.focus(app.running(), permit)).wait();

        EXPECT_FALSE(focus.first.has_value());
        EXPECT_EQ(desktop.attributeReads() - before, revokedAfter);
        if (revokedAfter == total) {
            EXPECT_FALSE(focus.second.isEmpty()) << "the engine's diagnostic is kept";
        }
    }
}

TEST_F(WorkerTest, ReadDeadlineBoundsASlowApplication)
{
    window.textField(QStringLiteral("你好")).focus();
    const FocusedField field = readField();
    app.slow();
    const QDateTime start = desktop.clock().now();

    const auto snapshot = test::start(worker.snapshot(field)).wait();

    EXPECT_EQ(snapshot, AXWorker::Snapshot{});
    EXPECT_LE(start.msecsTo(desktop.clock().now()),
              AXWorker::readDeadline.count() + AXEngine::elementTimeout.count());
}

TEST_F(WorkerTest, SnapshotAndSelectionValidation)
{
    auto field = window.textField(QStringLiteral("one two three")).selection(4, 3).focus();
    const FocusedField read = readField();

    EXPECT_EQ(test::start(worker.snapshot(read)).wait(),
              (AXWorker::Snapshot{true, QStringLiteral("one two three"), qsizetype(3)}));
    EXPECT_TRUE(test::start(worker.validateSelection(read, TextRange{4, 3}, QStringLiteral("two"),
                                                     QStringLiteral("one two three")))
                    .wait());
    field.selection(4, 2);
    EXPECT_FALSE(test::start(worker.validateSelection(read, TextRange{4, 3}, QStringLiteral("two"),
                                                      QStringLiteral("one two three")))
                     .wait());

    const auto selection = test::start(worker.selection(app.running(), std::nullopt)).wait();
    ASSERT_TRUE(selection.has_value());
    EXPECT_EQ(selection->text, QStringLiteral("tw"));
}

TEST_F(WorkerTest, ReplaceChecksThePermitBeforeAndDuringTheWrite)
{
    auto field = window.textField(QStringLiteral("你好")).focus();
    const FocusedField read = readField();
    AXReplaceRequest request{QStringLiteral("你好"), QStringLiteral("Hello"), read};

    const AXReadPermit stale = AXReadPermit::issue(generation);
    generation->advance();
    const int readsBefore = desktop.attributeReads();
    const WriteResult refused = test::start(worker.replace(request, stale)).wait();
    EXPECT_EQ(refused.message(), L10n::text(L10N_KEY("操作已取消；未执行替换")));
    EXPECT_EQ(desktop.attributeReads(), readsBefore) << "refused without touching the field";

    // The user moves on while the preconditions are being read.
    const AXReadPermit permit = AXReadPermit::issue(generation);
    auto shared = generation;
    desktop.afterReads(3, [shared] { shared->advance(); });
    const WriteResult revoked = test::start(worker.replace(request, permit)).wait();
    EXPECT_FALSE(revoked.isSuccess());
    EXPECT_EQ(desktop.attributeWrites(), 0);
    EXPECT_EQ(field.currentValue(), QStringLiteral("你好"));

    // Operations run one at a time in order: a snapshot queued after the write sees its text.
    auto write = test::start(worker.replace(request, AXReadPermit::issue(generation)));
    auto after = test::start(worker.snapshot(read));
    after.wait();
    ASSERT_TRUE(write.finished());
    EXPECT_TRUE(write.result().isSuccess()) << write.result().message().toStdString();
    EXPECT_EQ(after.result().value, QStringLiteral("Hello"));
    EXPECT_EQ(field.currentValue(), QStringLiteral("Hello"));
}

} // namespace
} // namespace qw
