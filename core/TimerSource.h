#pragma once

#include <QtGlobal>
#include <chrono>
#include <functional>

namespace qw {

// Starts one-shot timers whose callbacks run on the thread that owns the source (the main
// thread). Substituted by virtual time in tests: no test waits for a real timer.
class TimerSource {
public:
    using TimerId = quint64;
    virtual ~TimerSource() = default;

    // Runs `callback` once after `delay`; returns an id that cancel() accepts.
    virtual TimerId start(std::chrono::milliseconds delay, std::function<void()> callback) = 0;
    // Cancelling an id that already fired or was cancelled is harmless.
    virtual void cancel(TimerId id) = 0;
};

} // namespace qw
