#pragma once

#include <QCoroFuture>
#include <QCoroTask>
#include <QFuture>
#include <QObject>
#include <QPromise>
#include <QString>
#include <QThread>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>

namespace qw {

// One background thread that runs operations one at a time, in the order they were queued.
// Callers await the result from the main thread; platform calls that may block (a keyring
// prompt, a slow accessibility peer) run here and never on the main thread.
class SerialWorker {
public:
    explicit SerialWorker(const QString& name);
    ~SerialWorker();

    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    // Queues `operation` and returns a future for its result.
    template <class F> auto submit(F operation) -> QFuture<std::invoke_result_t<F>>
    {
        using R = std::invoke_result_t<F>;
        auto promise = std::make_shared<QPromise<R>>();
        QFuture<R> future = promise->future();
        promise->start();
        post([promise, operation = std::move(operation)]() mutable {
            if constexpr (std::is_void_v<R>) {
                operation();
            } else {
                promise->addResult(operation());
            }
            promise->finish();
        });
        return future;
    }

    // Queues `operation` and suspends the caller until it has run.
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

    QThread* thread() const { return m_thread.get(); }

private:
    void post(std::function<void()> job);

    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<QObject> m_context; // lives on m_thread; queued jobs run in its thread
};

} // namespace qw
