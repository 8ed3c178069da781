#pragma once

#include <chrono>

namespace qw {

// Once the program has been asked to quit (menu, SIGTERM, the session ending), it ends within
// a bound whatever its teardown still waits for: another program that does not answer, a
// platform call that ignores its cancellation. Every setting is written when it changes, so an
// end cut short here loses none.
class QuitDeadline {
public:
    static constexpr std::chrono::milliseconds defaultLimit{1800};

    // Starts the countdown on a thread of its own; when it runs out, the process ends with
    // `status` (no destructors run). Nothing stops it: the process is expected to end first.
    static void arm(int status, std::chrono::milliseconds limit = defaultLimit);
};

} // namespace qw
