#pragma once

#include "accessibility/adapters/WorkerSleeper.h"

#include <thread>

namespace qw {

// The real pause on the accessibility worker thread.
class ThreadSleeper : public WorkerSleeper {
public:
    void sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

} // namespace qw
