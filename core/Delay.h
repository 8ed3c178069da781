#pragma once

#include "core/CancellationToken.h"
#include "core/TimerSource.h"

#include <QCoroTask>
#include <chrono>
#include <coroutine>
#include <memory>

namespace qw {

namespace detail {
// Suspends until the timer fires or the token is cancelled, whichever comes first.
class DelayAwaiter {
public:
    DelayAwaiter(TimerSource& timers, std::chrono::milliseconds delay, CancellationToken token)
        : m_timers(timers), m_delay(delay), m_token(std::move(token))
    {
    }

    bool await_ready() const { return m_token.isCancelled(); }

    void await_suspend(std::coroutine_handle<> handle)
    {
        // Whichever of timer and cancellation comes second must find the coroutine resumed
        // already and do nothing.
        auto shared = m_shared;
        shared->handle = handle;
        shared->timerId = m_timers.start(m_delay, [shared]() {
            if (shared->done)
                return;
            shared->done = true;
            shared->elapsed = true;
            shared->token.removeCallback(shared->cancelId);
            shared->handle.resume();
        });
        shared->token = m_token;
        TimerSource* timers = &m_timers;
        shared->cancelId = m_token.onCancel([shared, timers]() {
            if (shared->done)
                return;
            shared->done = true;
            timers->cancel(shared->timerId);
            shared->handle.resume();
        });
    }

    bool await_resume() const { return m_shared->elapsed; }

private:
    struct Shared {
        std::coroutine_handle<> handle;
        TimerSource::TimerId timerId = 0;
        quint64 cancelId = 0;
        CancellationToken token;
        bool done = false;
        bool elapsed = false;
    };
    TimerSource& m_timers;
    std::chrono::milliseconds m_delay;
    CancellationToken m_token;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};
} // namespace detail

// Waits `delay` on the given timer source. Returns true when the time elapsed, false when the
// token was cancelled first (also when it was cancelled before the wait began). Cancellation
// callbacks must come from the thread that owns the timer source.
inline detail::DelayAwaiter delay(TimerSource& timers, std::chrono::milliseconds delay,
                                  CancellationToken token = {})
{
    return detail::DelayAwaiter(timers, delay, std::move(token));
}

} // namespace qw
