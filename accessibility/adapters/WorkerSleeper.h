#pragma once

#include <chrono>

namespace qw {

// A blocking pause on the accessibility worker thread (never on the main thread), used to
// give a target application time to handle a synthetic paste.
class WorkerSleeper {
public:
    virtual ~WorkerSleeper() = default;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

} // namespace qw
