#pragma once

#include "engine/CredentialState.h"
#include "engine/TranslationProvider.h"

#include <QCoroTask>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace qw {

class KeychainStore;
class SerialWorker;
class TranslationError;
class TranslationService;

// What the keyring says about the providers' keys, read the way the program reads them: a
// presence check first, then a silent read, never a prompt. The model keeps the published
// state built from these answers; the command line asks here directly.
class Credentials {
public:
    struct Report {
        CredentialState state = CredentialState::missing;
        // The keyring's own code when reading failed with one.
        std::optional<qint32> errorCode;
    };

    enum class SaveOutcome { saved, empty, refused };

    // Every keyring call runs on `keyringWorker`, never on the calling thread (a save or a
    // deletion may wait for the desktop's prompt). The store and the worker must outlive this.
    Credentials(TranslationService& service, KeychainStore& keychain, SerialWorker& keyringWorker);
    // Over keyring calls given as functions, each running off the calling thread; a missing one
    // finds no key, saves nothing and deletes nothing.
    Credentials(TranslationService& service, std::function<QCoro::Task<bool>(TranslationProvider)> presence,
                std::function<QCoro::Task<bool>(TranslationProvider, QString)> save,
                std::function<QCoro::Task<bool>(TranslationProvider)> remove);

    // The key's state after a silent read: missing, readable, or why it cannot be read.
    QCoro::Task<Report> status(TranslationProvider provider);

    // Saves the provider's key, trimmed. An empty key never overwrites a stored one.
    QCoro::Task<SaveOutcome> save(TranslationProvider provider, QString key);
    // Deletes the provider's key; true when none is left.
    QCoro::Task<bool> remove(TranslationProvider provider);
    // The user's explicit request to read the key, which may make the keyring prompt. Nothing
    // when the read failed for a reason that says nothing about the key.
    QCoro::Task<std::optional<Report>> authorize(TranslationProvider provider);

    // What a failed read says about the key; nothing for a failure (the network, the provider)
    // that says nothing about it.
    static std::optional<Report> failure(const TranslationError& error);

private:
    TranslationService& m_service;
    std::function<QCoro::Task<bool>(TranslationProvider)> m_presence;
    std::function<QCoro::Task<bool>(TranslationProvider, QString)> m_save;
    std::function<QCoro::Task<bool>(TranslationProvider)> m_remove;
};

} // namespace qw
