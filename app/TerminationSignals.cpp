#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qw {

namespace {

constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe, for the signal handler: a handler gets no context of its own, so
// this one value has to be reachable from it. Set only while an instance is installed.
volatile sig_atomic_t writeEnd = -1;
// Signals received so far: a second one means the user will not wait for the teardown.
volatile sig_atomic_t received = 0;

extern "C" void onTerminationSignal(int signal)
{
    // Only async-signal-safe calls here; errno belongs to whatever the signal interrupted.
    received = received + 1;
    if (received > 1)
        ::_exit(128 + signal);
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    if (writeEnd >= 0) [[maybe_unused]]
        const auto written = ::write(writeEnd, &number, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    if (writeEnd >= 0 || ::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd = m_pipe[1];
    received = 0;
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignals);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // interrupted system calls of the event loop simply go on
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &m_previous[i]);
    m_installed = true;
}

TerminationSignals::~TerminationSignals()
{
    if (!m_installed) {
        for (int fd : m_pipe) {
            if (fd >= 0)
                ::close(fd);
        }
        return;
    }
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &m_previous[i], nullptr);
    writeEnd = -1;
    delete m_notifier;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TerminationSignals::readSignals()
{
    unsigned char numbers[16];
    ssize_t count = 0;
    while ((count = ::read(m_pipe[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            if (m_onSignal)
                m_onSignal(numbers[i]);
        }
    }
}

} // namespace qw
