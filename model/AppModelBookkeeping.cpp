// Pauses until midnight, the current provider configuration, and the credential state the
// flows consult before they send anything.

#include "core/Clock.h"
#include "engine/SecretBackend.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "model/Credentials.h"

namespace qw {

bool AppModel::isAppIgnoredToday(const QString& bundleID) const
{
    return m_allowList.isPausedToday(bundleID);
}

void AppModel::expireAppIgnores()
{
    if (m_allowList.expirePauses())
        Q_EMIT changed();
}

SettingsWriteResult AppModel::ignoreAppToday(const TranslationApplication& app)
{
    if (!m_allowList.isAllowed(app.bundleID))
        return SettingsWriteResult::ok();
    // The pause holds for today, saved or not: the user asked for quiet.
    const SettingsWriteResult saved = m_allowList.pauseToday(app.bundleID);
    Q_EMIT changed();
    abandonApplicationWorkKeepingOthers(app.bundleID);
    if (saved)
        setStatus(AllowList::pausedMessage(app.name));
    reportSettingsWriteFailure(saved);
    return saved;
}

SettingsWriteResult AppModel::resumeApp(const QString& bundleID)
{
    const bool paused = ignoredAppsUntil().contains(bundleID);
    const SettingsWriteResult saved = m_allowList.resume(bundleID);
    reportSettingsWriteFailure(saved);
    if (!saved)
        return saved;
    if (paused)
        Q_EMIT changed();
    setStatus(AllowList::resumedMessage());
    abandonApplicationWorkKeepingOthers(bundleID);
    return saved;
}

ProviderConfiguration AppModel::currentProviderConfiguration() const
{
    return m_settings.configuration(selectedProvider());
}

bool AppModel::providerReady() const
{
    return m_hasAPIKey && currentProviderConfiguration().validatedEndpoint().isOk();
}

void AppModel::recordCredentialFailure(TranslationProvider provider, const TranslationError& error)
{
    std::map<TranslationProvider, CredentialState> states = m_credentialStates;
    std::map<TranslationProvider, qint32> codes = m_credentialErrorCodes;
    const std::optional<Credentials::Report> report = Credentials::failure(error);
    // Network and provider failures say nothing about the key.
    if (!report)
        return;
    states[provider] = report->state;
    if (report->errorCode)
        codes[provider] = *report->errorCode;
    if (report->state == CredentialState::missing && provider == selectedProvider())
        publish(m_hasAPIKey, false);
    publish(m_credentialStates, std::move(states));
    publish(m_credentialErrorCodes, std::move(codes));
    std::set<TranslationProvider> paused = m_pausedCredentialProviders;
    paused.insert(provider);
    publish(m_pausedCredentialProviders, std::move(paused));
    if (provider == selectedProvider()) {
        publish(m_connectionSucceeded, false);
        publish(m_connectionStatus, error.message());
    }
}

quint64 AppModel::nextCredentialGeneration(TranslationProvider provider)
{
    return ++m_credentialGeneration[provider];
}

void AppModel::refreshCredentialState()
{
    cancelJob(m_connectionTest);
    publish(m_isTestingConnection, false);
    publish(m_connectionSucceeded, false);
    publish(m_connectionStatus, L10n::text(L10N_KEY("尚未测试连接")));
    publish(m_serviceFailure, false);
    const TranslationProvider provider = selectedProvider();
    const quint64 generation = nextCredentialGeneration(provider);
    if (m_keyPresence)
        credentialRefreshJob(provider, generation);
}

QCoro::Task<void> AppModel::credentialRefreshJob(TranslationProvider provider, quint64 generation)
{
    const auto alive = m_alive;
    const bool present = co_await m_keyPresence(provider);
    if (!*alive || selectedProvider() != provider || m_credentialGeneration[provider] != generation)
        co_return;
    publish(m_hasAPIKey, present);
    std::map<TranslationProvider, CredentialState> states = m_credentialStates;
    states[provider] = present ? CredentialState::unread : CredentialState::missing;
    publish(m_credentialStates, std::move(states));
    if (!present)
        co_return;

    // Silent: a background refresh never makes the keyring prompt.
    const auto read = co_await m_service.credential(provider, false);
    if (!*alive || m_credentialGeneration[provider] != generation)
        co_return;
    if (!read) {
        recordCredentialFailure(provider, read.error());
        co_return;
    }
    states = m_credentialStates;
    states[provider] = CredentialState::accessible;
    publish(m_credentialStates, std::move(states));
    std::map<TranslationProvider, qint32> codes = m_credentialErrorCodes;
    codes.erase(provider);
    publish(m_credentialErrorCodes, std::move(codes));
    std::set<TranslationProvider> paused = m_pausedCredentialProviders;
    paused.erase(provider);
    publish(m_pausedCredentialProviders, std::move(paused));
}

} // namespace qw
