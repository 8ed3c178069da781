#include "core/SerialWorker.h"

#include <QElapsedTimer>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The program quits while a worker is busy (a keyring prompt open, another application not
// answering) with more work queued behind it. Destruction must neither run the queue nor wait
// for a call that ignores its interruption; every future still gets a value.
TEST(WorkerStop, QuittingDropsQueuedWorkAndBoundsTheWaitForTheRunningCall)
{
    const struct {
        const char* situation;
        bool callHonoursInterruption;
    } rows[] = {
        {"a prompt that the interruption dismisses", true},
        {"a peer that never answers", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        std::promise<void> started;
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        std::atomic<int> queuedRan{0};
        std::vector<QFuture<int>> queued;
        QFuture<int> running;
        constexpr auto stopWait = 200ms;
        QElapsedTimer destruction;
        qint64 tookMs = 0;
        {
            qw::SerialWorker worker(
                QStringLiteral("stopping"),
                [&] {
                    if (row.callHonoursInterruption)
                        release.set_value();
                },
                stopWait);
            running = worker.submit([&started, released] {
                started.set_value();
                released.wait();
                return 7;
            });
            for (int i = 0; i < 50; ++i)
                queued.push_back(worker.submit([&queuedRan] { return ++queuedRan; }));
            started.get_future().wait();
            destruction.start();
            worker.stop();
            tookMs = destruction.elapsed();
            QFuture<int> late = worker.submit([&queuedRan] { return ++queuedRan; });
            EXPECT_TRUE(late.isFinished()) << "work submitted after the stop waits for nothing";
        }
        if (!row.callHonoursInterruption)
            release.set_value(); // the abandoned thread ends now

        EXPECT_LT(tookMs, row.callHonoursInterruption ? 200 : 200 + 500);
        running.waitForFinished();
        EXPECT_EQ(running.result(), 7);
        EXPECT_EQ(queuedRan.load(), 0) << "queued work ran after the quit";
        for (QFuture<int>& future : queued) {
            future.waitForFinished();
            ASSERT_EQ(future.resultCount(), 1) << "a caller awaiting it would read no value";
            EXPECT_EQ(future.result(), 0);
        }
    }
}

} // namespace
