#include "model/Credentials.h"

#include "engine/SecretBackend.h"
#include "engine/TranslationError.h"
#include "engine/TranslationService.h"

namespace qw {

QCoro::Task<Credentials::Report> Credentials::status(TranslationProvider provider)
{
    Report report;
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
