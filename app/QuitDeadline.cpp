#include "app/QuitDeadline.h"

#include <thread>
#include <unistd.h>

namespace qw {

void QuitDeadline::arm(int status, std::chrono::milliseconds limit)
{
    std::thread([status, limit] {
        std::this_thread::sleep_for(limit);
        ::_exit(status);
    }).detach();
}

} // namespace qw
