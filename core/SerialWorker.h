#pragma once

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QPromise>
#include <QString>
#include <QThread>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <type_traits>

namespace qw {

// One background thread that runs operations one at a time, in the order they were queued.
// Callers await the result from the main thread; platform calls that may block (a keyring
// prompt, a slow accessibility peer) run here and never on the main thread.
//
// Destroying the worker never waits for a queue: operations that have not started are
// dropped (their futures finish with a default-constructed value, the "nothing came of it"
// every caller already handles), the one running is asked to stop through `interrupt`, and
// the wait for it is bounded. A program that quits while a keyring prompt is open or another
// application does not answer must still end at once.
class SerialWorker {
public:
    // How long destruction waits by default for the running operation after interrupting it.
    // A platform call that outlives the wait is left behind on its thread, which is abandoned
    // and ends when the call does (or with the process).
    static constexpr std::chrono::milliseconds defaultStopWait{1500};

    // `interrupt` (called on the destroying thread, may be empty) makes a blocked operation
    // return early: it cancels the platform call the operation is waiting in.
    explicit SerialWorker(const QString& name, std::function<void()> interrupt = {},
                          std::chrono::milliseconds stopWait = defaultStopWait);
    // Stops the worker (below) and waits for it.
    ~SerialWorker();

    // Drops what has not started, interrupts what runs and waits for it at most the stop wait.
    // Operations submitted afterwards are dropped at once. The owner calls it when the program
    // quits, before anything the operations use goes away (an awaiting coroutine may keep the
    // worker itself alive past that). False when the running operation had to be abandoned:
    // it may still use what it was given.
    bool stop();

    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Queues `operation` and returns a future for its result; when it is dropped, the future
    // gets `whenDropped` instead.
    template <class F, class R = std::invoke_result_t<F>>
    auto submit(F operation, R whenDropped) -> QFuture<R>
    {
        auto promise = std::make_shared<QPromise<R>>();
        QFuture<R> future = promise->future();
        promise->start();
        post([promise, operation = std::move(operation),
              whenDropped = std::move(whenDropped)](bool dropped) mutable {
            promise->addResult(dropped ? std::move(whenDropped) : operation());
            promise->finish();
        });
        return future;
    }

    // The same, with a default-constructed result (or none) for a dropped operation.
    template <class F> auto submit(F operation) -> QFuture<std::invoke_result_t<F>>
    {
        using R = std::invoke_result_t<F>;
        if constexpr (std::is_void_v<R>) {
            auto promise = std::make_shared<QPromise<void>>();
            QFuture<void> future = promise->future();
            promise->start();
            post([promise, operation = std::move(operation)](bool dropped) mutable {
                if (!dropped)
                    operation();
                promise->finish();
            });
            return future;
        } else {
            static_assert(std::is_default_constructible_v<R>,
                          "give the result a dropped operation finishes with");
            return submit(std::move(operation), R{});
        }
    }

    // Queues `operation` and suspends the caller until it has run (or was dropped).
    template <class F> auto run(F operation) -> QCoro::Task<std::invoke_result_t<F>>
    {
        using R = std::invoke_result_t<F>;
        QFuture<R> future = submit(std::move(operation));
        if constexpr (std::is_void_v<R>) {
            co_await future;
        } else {
            co_return co_await future;
        }
    }

    template <class F, class R = std::invoke_result_t<F>> QCoro::Task<R> run(F operation, R whenDropped)
    {
        QFuture<R> future = submit(std::move(operation), std::move(whenDropped));
        co_return co_await future;
    }

    QThread* thread() const { return m_qthread; }

private:
    struct Queue;
    static void serve(const std::shared_ptr<Queue>& queue);
    void post(std::function<void(bool dropped)> job);

    // Shared with the thread: an abandoned thread still owns what it touches.
    std::shared_ptr<Queue> m_queue;
    std::thread m_worker;
    QThread* m_qthread = nullptr;
    std::function<void()> m_interrupt;
    std::chrono::milliseconds m_stopWait;
};

} // namespace qw
