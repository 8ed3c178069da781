#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QTimeZone>
#include <functional>
#include <optional>

namespace qw {

class Clock;
class KeychainStore;
class SerialWorker;
class SettingsStore;
class TimerSource;
class TranslationService;

// What a command works with. main() wires the real desktop; tests wire substitutes.
struct CliContext {
    SettingsStore& settings;
    TranslationService& service;
    KeychainStore& keychain;
    // Keyring calls may wait for a prompt: they run here, never on the main thread.
    SerialWorker& keyringWorker;
    QTextStream& out;
    QTextStream& err;
    // Reads all of standard input as it came (the key for `key set`, or the text for
    // `translate -`); the command decodes it and refuses what is not UTF-8.
    std::function<QByteArray()> readStandardInput;

    // Time for the commands that wait (pauses end at midnight; the bubble preview's model runs on
    // the timers).
    Clock& clock;
    TimerSource& timers;
    // The time zone whose local midnight ends a pause.
    QTimeZone timeZone;
    // The installed applications that open https links (they are browsers).
    std::function<QStringList()> httpsHandlers;
    // The display name of an installed application by its id.
    std::function<std::optional<QString>(const QString&)> installedApplicationName;
};

// Process exit statuses of the command line.
namespace ExitStatus {
inline constexpr int success = 0;
inline constexpr int failure = 1;
inline constexpr int usage = 2;
} // namespace ExitStatus

} // namespace qw
