#pragma once

#include "engine/CredentialState.h"
#include "engine/TranslationProvider.h"

#include <QCoroTask>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace qw {

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

    // `presence` runs on the keyring worker (model/KeyringOperations).
    Credentials(TranslationService& service, std::function<QCoro::Task<bool>(TranslationProvider)> presence)
        : m_service(service), m_presence(std::move(presence))
    {
    }

    // The key's state after a silent read: missing, readable, or why it cannot be read.
    QCoro::Task<Report> status(TranslationProvider provider);

    // What a failed read says about the key; nothing for a failure (the network, the provider)
    // that says nothing about it.
    static std::optional<Report> failure(const TranslationError& error);

private:
    TranslationService& m_service;
    std::function<QCoro::Task<bool>(TranslationProvider)> m_presence;
};

} // namespace qw
