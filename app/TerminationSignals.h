#pragma once

#include <QObject>
#include <csignal>
#include <functional>

class QSocketNotifier;

namespace qw {

// Turns SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C, the terminal closing) into a
// call on the main thread, so that the program can leave its event loop and release what it
// holds (hotkeys, clipboard, monitors) instead of dying mid-way. The signal handler only writes
// the signal's number into a pipe; a socket notifier reads it in the event loop.
// A second signal while the first is being handled ends the process at once (status 128 +
// the signal): whoever sends it will not wait for the teardown.
// One instance per process (signal dispositions are process-wide); a second one installs
// nothing and says so through isInstalled().
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // `onSignal` gets the signal's number; typically it quits the event loop.
    explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    // Puts the previous dispositions back.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool isInstalled() const { return m_installed; }

private:
    void readSignals();

    std::function<void(int)> m_onSignal;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
    struct sigaction m_previous[3] = {};
};

} // namespace qw
