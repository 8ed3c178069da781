#include "core/CancellationToken.h"
#include "core/Delay.h"
#include "core/SerialWorker.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"

#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

using namespace std::chrono_literals;
using qw::test::VirtualTime;

namespace {

QCoro::Task<bool> waitFor(qw::TimerSource& timers, std::chrono::milliseconds ms,
                          qw::CancellationToken token = {})
{
    co_return co_await qw::delay(timers, ms, token);
}

} // namespace

// A wait ends when virtual time reaches it, or at once when cancelled before or during it;
// either way its timer is gone, so nothing resumes it again.
TEST(Delay, EndsAtItsTimeOrWhenCancelled)
{
    const struct {
        const char* name;
        std::optional<std::chrono::milliseconds> cancelAfter;
    } rows[] = {{"elapses", std::nullopt}, {"cancelled before", 0ms}, {"cancelled during", 100ms}};
    for (const auto& row : rows) {
        VirtualTime time;
        qw::CancellationSource source;
        if (row.cancelAfter == 0ms)
            source.cancel();
        auto wait = qw::test::start(waitFor(time, 130ms, source.token()));
        if (!row.cancelAfter || *row.cancelAfter > 0ms) {
            time.advance(row.cancelAfter.value_or(130ms) - 1ms);
            EXPECT_FALSE(wait.finished()) << row.name;
            if (row.cancelAfter)
                source.cancel();
            else
                time.advance(1ms);
        }
        ASSERT_TRUE(wait.finished()) << row.name;
        EXPECT_EQ(wait.result(), !row.cancelAfter) << row.name;
        EXPECT_EQ(time.pendingTimers(), 0u) << row.name;
        time.advance(400s);
    }
}

// Operations run one at a time, in order, on the worker's own thread; a caller awaiting one
// resumes on its own thread.
TEST(SerialWorker, RunsOperationsOneAtATimeInOrderOffTheCallersThread)
{
    qw::SerialWorker worker(QStringLiteral("test-worker"));
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    std::vector<int> order;
    std::vector<QThread*> threads;
    std::vector<QFuture<int>> futures;
    for (int i = 0; i < 5; ++i) {
        futures.push_back(worker.submit([&, i] {
            const int now = ++running;
            maxRunning = std::max(maxRunning.load(), now);
            QThread::msleep(2); // widen the window in which an overlap would show
            order.push_back(i);
            threads.push_back(QThread::currentThread());
            --running;
            return i * 10;
        }));
    }
    for (auto& future : futures)
        future.waitForFinished();
    EXPECT_EQ(maxRunning.load(), 1);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(futures[3].result(), 30);
    EXPECT_NE(worker.thread(), QThread::currentThread());
    EXPECT_EQ(threads, std::vector<QThread*>(5, worker.thread()));

    auto task = qw::test::start([](qw::SerialWorker& w) -> QCoro::Task<std::vector<QThread*>> {
        auto currentThread = [] {
            return QThread::currentThread();
        };
        QThread* const ranOn = co_await w.run(currentThread);
        co_return std::vector<QThread*>{ranOn, QThread::currentThread()};
    }(worker));
    EXPECT_EQ(task.wait(), (std::vector<QThread*>{worker.thread(), QThread::currentThread()}));
}
