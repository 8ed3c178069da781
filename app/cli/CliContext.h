#pragma once

#include <QString>
#include <QTextStream>
#include <functional>

namespace qw {

class KeychainStore;
class SerialWorker;
class SettingsStore;
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
    // Reads all of standard input (the key for `key set`, or the text for `translate -`).
    std::function<QString()> readStandardInput;
};

// Process exit statuses of the command line.
namespace ExitStatus {
inline constexpr int success = 0;
inline constexpr int failure = 1;
inline constexpr int usage = 2;
} // namespace ExitStatus

} // namespace qw
