// The service settings: the selected provider's key in the keyring, the user's explicit
// approval to read it (and the resume of what its absence interrupted), the connection test
// and the provider's address and model.
//
// Every keyring step first advances the provider's credential generation; a continuation acts
// only while the generation is still the one it started with, so an outdated answer (a refresh
// overtaken by a deletion, a save overtaken by a provider switch) changes nothing.

#include "accessibility/AXReadPermit.h"
#include "accessibility/AXWorker.h"
#include "accessibility/adapters/Workspace.h"
#include "core/SettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "model/SettingsWriteMessage.h"

namespace qw {

CredentialState AppModel::credentialState() const
{
    const auto found = m_credentialStates.find(selectedProvider());
    if (found != m_credentialStates.end())
        return found->second;
    return m_hasAPIKey ? CredentialState::unread : CredentialState::missing;
}

bool AppModel::isAuthorizingCurrentProvider() const
{
    return m_isAuthorizingKey && m_authorizingProvider == selectedProvider();
}

QString AppModel::apiKeyAuthorizationLabel() const
{
    if (isAuthorizingCurrentProvider())
        return L10n::text(L10N_KEY("授权中"));
    if (m_hasAPIKey)
        return authorizationLabel(credentialState());
    return L10n::text(L10N_KEY("未配置"));
}

void AppModel::setCredentialState(TranslationProvider provider, CredentialState state)
{
    std::map<TranslationProvider, CredentialState> states = m_credentialStates;
    states[provider] = state;
    publish(m_credentialStates, std::move(states));
}

void AppModel::unpauseCredentialProvider(TranslationProvider provider)
{
    std::set<TranslationProvider> paused = m_pausedCredentialProviders;
    paused.erase(provider);
    publish(m_pausedCredentialProviders, std::move(paused));
}

void AppModel::markCredentialAccessible(TranslationProvider provider)
{
    setCredentialState(provider, CredentialState::accessible);
    std::map<TranslationProvider, qint32> codes = m_credentialErrorCodes;
    codes.erase(provider);
    publish(m_credentialErrorCodes, std::move(codes));
    unpauseCredentialProvider(provider);
}

QCoro::Task<bool> AppModel::storeKey(QString key)
{
    const QString trimmed = key.trimmed();
    if (trimmed.isEmpty()) {
        // An accidental empty paste must never wipe a working key.
        setStatus(L10n::text(L10N_KEY("空 Key 不会覆盖已存密钥")));
        co_return false;
    }
    const TranslationProvider provider = selectedProvider();
    nextCredentialGeneration(provider);
    abandonAllWorkKeepingSuspensions();

    const auto alive = m_alive;
    // A copy lives in this frame: the model may be gone when the save returns.
    const auto credentials = m_credentials;
    const Credentials::SaveOutcome outcome = co_await credentials->save(provider, key);
    const bool saved = outcome == Credentials::SaveOutcome::saved;
    if (!*alive)
        co_return saved;
    // Saved for the provider it was typed for; nothing of a provider selected meanwhile changes.
    if (selectedProvider() != provider)
        co_return saved;

    bool present = saved;
    if (m_keyPresence) {
        const auto presence = m_keyPresence;
        present = co_await presence(provider);
        if (!*alive || selectedProvider() != provider)
            co_return saved;
    }
    publish(m_hasAPIKey, present);
    publish(m_connectionStatus, saved ? L10n::text(L10N_KEY("密钥已保存，尚未测试连接"))
                                      : L10n::text(L10N_KEY("密钥写入钥匙串失败")));
    if (saved) {
        unpauseCredentialProvider(provider);
        setCredentialState(provider, CredentialState::unread);
        publish(m_connectionSucceeded, false);
        abandonAllWorkKeepingSuspensions();
    }
    co_return saved;
}

QCoro::Task<void> AppModel::deleteCurrentKey()
{
    const TranslationProvider provider = selectedProvider();
    nextCredentialGeneration(provider);
    abandonAllWorkKeepingSuspensions();

    const auto alive = m_alive;
    const auto credentials = m_credentials;
    const bool deleted = co_await credentials->remove(provider);
    if (!*alive)
        co_return;
    if (!deleted) {
        // The key and the consent stay as they were.
        publish(m_connectionStatus, L10n::text(L10N_KEY("密钥未删除：钥匙串授权被取消或访问失败")));
        co_return;
    }
    // The consent went with the key, whichever provider is selected now.
    const SettingsWriteResult withdrawn = m_settings.apply(m_settings.cloudConsentChanges(provider, false));
    setCredentialState(provider, CredentialState::missing);
    if (provider == selectedProvider())
        publish(m_hasAPIKey, false);
    refreshCredentialState();
    if (provider == selectedProvider()) {
        // Withdrawn for this run even when the file still holds it.
        assignCloudConsent(false);
        publish(m_connectionStatus, withdrawn ? L10n::text(L10N_KEY("已删除此服务商的密钥"))
                                              : SettingsWriteMessage::text(withdrawn));
        abandonAllWorkKeepingSuspensions();
    } else {
        reportSettingsWriteFailure(withdrawn);
    }
}

void AppModel::authorizeCredential()
{
    if (m_isAuthorizingKey)
        return;
    const TranslationProvider provider = selectedProvider();
    const quint64 generation = nextCredentialGeneration(provider);
    const bool wasPaused = m_pausedCredentialProviders.count(provider) > 0;
    publish(m_authorizingProvider, provider);
    InterruptedWork interrupted;
    interrupted.snapshot = m_snapshot;
    interrupted.selectionRevision = m_selectionRevision;
    interrupted.previewApplication = m_previewApplication;
    interrupted.selectedTextOriginal = m_selectedTextOriginal;
    interrupted.selectedSelectionElement = m_selectedSelectionElement;
    publish(m_isAuthorizingKey, true);
    Job& job = startJob(m_credentialTask);
    authorizationJob(job.id, provider, generation, wasPaused, std::move(interrupted),
                     job.cancellation.token());
}

QCoro::Task<void> AppModel::authorizationJob(quint64 jobId, TranslationProvider provider, quint64 generation,
                                             bool wasPaused, InterruptedWork interrupted,
                                             CancellationToken token)
{
    const auto alive = m_alive;
    // The one read that may make the keyring prompt: the user asked for it.
    const TranslationService::TextResult read = co_await m_service.credential(provider, true);
    if (!*alive)
        co_return;
    auto finish = [this, jobId] {
        if (isCurrent(m_credentialTask, jobId))
            m_credentialTask.reset();
        publish(m_isAuthorizingKey, false);
        publish(m_authorizingProvider, std::nullopt);
    };
    const bool current = m_credentialGeneration[provider] == generation;
    if (!read) {
        if (current) {
            recordCredentialFailure(provider, read.error());
            if (provider == selectedProvider())
                setStatus(read.error().message());
        }
        finish();
        co_return;
    }
    if (!current) {
        finish();
        co_return;
    }
    markCredentialAccessible(provider);
    if (provider == selectedProvider()) {
        publish(m_hasAPIKey, true);
        setStatus(L10n::text(L10N_KEY("密钥可访问")));
    }
    bool resumed = false;
    if (provider == selectedProvider() && !token.isCancelled()) {
        resumed = co_await resumeInterruptedWork(provider, std::move(interrupted), token);
        if (!*alive)
            co_return;
    }
    if (!resumed && wasPaused && m_showingError && m_credentialGeneration[provider] == generation) {
        // The error the missing access left behind no longer holds.
        discardPreview();
        setStatus(L10n::text(L10N_KEY("密钥可访问")));
    }
    finish();
}

QCoro::Task<bool> AppModel::resumeInterruptedWork(TranslationProvider provider, InterruptedWork interrupted,
                                                  CancellationToken token)
{
    const auto alive = m_alive;
    if (interrupted.snapshot) {
        const bool same = co_await matches(*interrupted.snapshot, token);
        if (!*alive || token.isCancelled() || selectedProvider() != provider || !same)
            co_return false;
        retryTranslation();
        co_return true;
    }

    if (interrupted.selectedTextOriginal.isEmpty() || interrupted.selectionRevision != m_selectionRevision)
        co_return false;
    const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    const std::optional<QString> frontBundle = front ? front->bundleID : std::nullopt;
    const std::optional<QString> rememberedBundle =
        interrupted.previewApplication ? std::optional<QString>(interrupted.previewApplication->bundleID)
                                       : std::nullopt;
    if (!front || frontBundle != rememberedBundle)
        co_return false;
    // The selection is read again only where reading is still allowed.
    if (!trusted() || front->pid == m_ownPid || !frontBundle || !isEligible(*frontBundle))
        co_return false;
    const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
    const std::optional<UserSelection> selection =
        co_await m_ax.selection(*front, interrupted.selectedSelectionElement, permit, token);
    if (!*alive || token.isCancelled() || selectedProvider() != provider)
        co_return false;
    if (!selection || selection->text != interrupted.selectedTextOriginal)
        co_return false;
    abandonSelectionWorkKeepingInputWork();
    inspectSelectionAfterMouseUp(interrupted.selectedSelectionElement);
    co_return true;
}

void AppModel::testProviderConnection()
{
    cancelJob(m_connectionTest);
    publish(m_serviceFailure, false);
    const ProviderConfiguration config = currentProviderConfiguration();
    if (!m_hasAPIKey) {
        publish(m_connectionStatus, L10n::text(L10N_KEY("请先保存 API Key")));
        return;
    }
    publish(m_isTestingConnection, true);
    publish(m_connectionSucceeded, false);
    publish(m_connectionStatus, L10n::text(L10N_KEY("正在测试当前服务商…")));
    Job& job = startJob(m_connectionTest);
    connectionTestJob(job.id, config, job.cancellation.token());
}

QCoro::Task<void> AppModel::connectionTestJob(quint64 jobId, ProviderConfiguration config,
                                              CancellationToken token)
{
    const auto alive = m_alive;
    const TranslationProvider provider = config.provider;
    // Silent: a test never makes the keyring prompt.
    TranslationService::TextResult result = co_await m_service.credential(provider, false);
    if (!*alive || token.isCancelled())
        co_return;
    if (result) {
        unpauseCredentialProvider(provider);
        setCredentialState(provider, CredentialState::accessible);
        result = co_await m_service.testConnection(config, token);
        if (!*alive || token.isCancelled())
            co_return;
    }
    if (isCurrent(m_connectionTest, jobId))
        m_connectionTest.reset();
    if (result) {
        publish(m_connectionStatus, result.value());
        publish(m_connectionSucceeded, true);
        publish(m_serviceFailure, false);
        unpauseCredentialProvider(provider);
    } else {
        publish(m_connectionStatus, result.error().message());
        publish(m_connectionSucceeded, false);
        recordCredentialFailure(provider, result.error());
        // A key that cannot be read is not a failure of the service.
        publish(m_serviceFailure, m_pausedCredentialProviders.count(selectedProvider()) == 0);
    }
    publish(m_isTestingConnection, false);
}

void AppModel::updateProviderSettings(const QString& baseURL, const QString& model)
{
    const bool previousConsent = cloudConsent();
    const ProviderSettings::Change change = m_providerSettings.configure(baseURL, model);
    if (change.refusal || !change.saved) {
        publish(m_connectionStatus,
                change.refusal ? *change.refusal : SettingsWriteMessage::text(change.saved));
        return;
    }
    Q_EMIT changed();
    if (change.consentTaken)
        afterConsentTaken(previousConsent);
    cancelJob(m_connectionTest);
    publish(m_isTestingConnection, false);
    m_service.clearContent(std::nullopt);
    publish(m_connectionSucceeded, false);
    publish(m_connectionStatus, L10n::text(L10N_KEY("配置已保存，可测试连接")));
}

} // namespace qw
