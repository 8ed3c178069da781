#pragma once

#include <QString>

namespace qw {

class Clock;
class KeychainStore;
class SerialWorker;
class SettingsStore;
class TimerSource;
class TranslationService;

// The tray program on the real desktop: one instance per session (a later start hands its
// request to the running one), the delegate over the AT-SPI, X11 and keyring backends, and a
// clean end on SIGTERM, SIGINT and SIGHUP or on "退出".
class TrayProgram {
public:
    struct Shared {
        SettingsStore& settings;
        Clock& clock;
        TimerSource& timers;
        TranslationService& service;
        KeychainStore& keychain;
        SerialWorker& keyringWorker;
    };

    explicit TrayProgram(Shared shared) : m_shared(shared) {}

    // Runs until the user quits or a termination signal arrives; returns the exit status.
    // `launchedAtLogin`: the session started the program, so no window opens.
    int run(bool launchedAtLogin);

private:
    Shared m_shared;
};

} // namespace qw
