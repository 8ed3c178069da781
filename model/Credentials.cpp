#include "model/Credentials.h"

#include "engine/SecretBackend.h"
#include "engine/TranslationError.h"
#include "engine/TranslationService.h"
#include "model/KeyringOperations.h"

namespace qw {

Credentials::Credentials(TranslationService& service, KeychainStore& keychain, SerialWorker& keyringWorker)
    : Credentials(service, KeyringOperations::presence(keychain, keyringWorker),
                  KeyringOperations::save(keychain, keyringWorker),
                  KeyringOperations::remove(keychain, keyringWorker))
{
}

Credentials::Credentials(TranslationService& service,
                         std::function<QCoro::Task<bool>(TranslationProvider)> presence,
                         std::function<QCoro::Task<bool>(TranslationProvider, QString)> save,
                         std::function<QCoro::Task<bool>(TranslationProvider)> remove)
    : m_service(service), m_presence(std::move(presence)), m_save(std::move(save)),
      m_remove(std::move(remove))
{
}

QCoro::Task<Credentials::SaveOutcome> Credentials::save(TranslationProvider provider, QString key)
{
    const QString trimmed = key.trimmed();
    // An accidental empty paste must never wipe a working key.
    if (trimmed.isEmpty())
        co_return SaveOutcome::empty;
    if (!m_save)
        co_return SaveOutcome::refused;
    const bool saved = co_await m_save(provider, trimmed);
    if (!saved)
        co_return SaveOutcome::refused;
    m_service.clearCredentials(provider);
    co_return SaveOutcome::saved;
}

QCoro::Task<bool> Credentials::remove(TranslationProvider provider)
{
    if (!m_remove)
        co_return false;
    const bool removed = co_await m_remove(provider);
    if (removed)
        m_service.clearCredentials(provider);
    co_return removed;
}

QCoro::Task<std::optional<Credentials::Report>> Credentials::authorize(TranslationProvider provider)
{
    const auto read = co_await m_service.credential(provider, true);
    if (!read)
        co_return failure(read.error());
    Report accessible;
    accessible.state = CredentialState::accessible;
    co_return accessible;
}

QCoro::Task<Credentials::Report> Credentials::status(TranslationProvider provider)
{
    Report report;
    if (!m_presence)
        co_return report;
    const bool present = co_await m_presence(provider);
    if (!present)
        co_return report;
    // Silent: a status never makes the keyring prompt.
    const auto read = co_await m_service.credential(provider, false);
    if (read) {
        report.state = CredentialState::accessible;
        co_return report;
    }
    if (const std::optional<Report> failed = failure(read.error()))
        report = *failed;
    else
        report.state = CredentialState::unread;
    co_return report;
}

std::optional<Credentials::Report> Credentials::failure(const TranslationError& error)
{
    Report report;
    switch (error.kind()) {
    case TranslationError::Kind::missingKey:
        report.state = CredentialState::missing;
        return report;
    case TranslationError::Kind::keychainAccessRequired:
        report.state = CredentialState::approval;
        return report;
    case TranslationError::Kind::credentialFailure:
        if (error.code() == SecretStatus::userCancelled)
            report.state = CredentialState::cancelled;
        else if (error.code() == SecretStatus::interactionNotAllowed)
            report.state = CredentialState::lockedOrApproval;
        else
            report.state = CredentialState::failed;
        report.errorCode = error.code();
        return report;
    default:
        return std::nullopt;
    }
}

} // namespace qw
