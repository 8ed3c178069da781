#include "app/cli/KeyCommand.h"

#include "app/cli/CliArguments.h"
#include "app/cli/ProviderOverrideSettings.h"
#include "core/Clock.h"
#include "engine/SecretBackend.h"
#include "engine/TranslationError.h"
#include "l10n/L10n.h"
#include "model/AppSettings.h"
#include "model/ProviderSettings.h"
#include "model/SettingsWriteMessage.h"

namespace qw {

bool KeyCommand::isFailure(CredentialState state)
{
    switch (state) {
    case CredentialState::missing:
    case CredentialState::unread:
    case CredentialState::accessible:
        return false;
    case CredentialState::approval:
    case CredentialState::cancelled:
    case CredentialState::lockedOrApproval:
    case CredentialState::failed:
        return true;
    }
    return true;
}

QCoro::Task<int> KeyCommand::run(Action action, QString providerName)
{
    std::optional<TranslationProvider> provider;
    if (!providerName.isEmpty()) {
        const auto named = CliArguments::provider(providerName);
        if (!named) {
            m_context.err << named.error() << Qt::endl;
            co_return ExitStatus::usage;
        }
        provider = named.value();
    }
    // With --provider, that provider reads as selected without the selection being stored.
    std::unique_ptr<ProviderOverrideSettings> otherProvider;
    if (provider)
        otherProvider = std::make_unique<ProviderOverrideSettings>(m_context.settings, *provider);
    // The allow list plays no part here.
    AppSettings settings(otherProvider ? *otherProvider : m_context.settings, {}, m_context.clock.now());
    ProviderSettings providers(settings);
    Credentials credentials(m_context.service, m_context.keychain, m_context.keyringWorker);
    switch (action) {
    case Action::set:
        co_return co_await set(credentials, providers.selected());
    case Action::remove:
        co_return co_await remove(credentials, providers);
    case Action::status:
        co_return co_await status(credentials, providers.selected());
    case Action::authorize:
        co_return co_await authorize(credentials, providers.selected());
    }
    co_return ExitStatus::usage;
}

QCoro::Task<int> KeyCommand::set(Credentials& credentials, TranslationProvider provider)
{
    const std::optional<QString> input = CliArguments::standardInput(m_context.readStandardInput());
    if (!input) {
        m_context.err << CliArguments::invalidStandardInput() << Qt::endl;
        co_return ExitStatus::failure;
    }
    const QString key = *input;
    // A key with a control character inside (a NUL, an escape, a stray tab) is a broken paste;
    // stored, it would only fail later at the provider.
    if (CliArguments::containsControlCharacter(key.trimmed())) {
        m_context.err << L10n::text(L10N_KEY("API Key 含有控制字符，未保存")) << Qt::endl;
        co_return ExitStatus::failure;
    }
    switch (co_await credentials.save(provider, key)) {
    case Credentials::SaveOutcome::saved:
        m_context.out << L10n::text(L10N_KEY("密钥已保存，尚未测试连接")) << Qt::endl;
        co_return ExitStatus::success;
    case Credentials::SaveOutcome::empty:
        m_context.err << L10n::text(L10N_KEY("空 Key 不会覆盖已存密钥")) << Qt::endl;
        co_return ExitStatus::failure;
    case Credentials::SaveOutcome::refused:
        break;
    }
    m_context.err << L10n::text(L10N_KEY("密钥写入钥匙串失败")) << Qt::endl;
    co_return ExitStatus::failure;
}

QCoro::Task<int> KeyCommand::remove(Credentials& credentials, ProviderSettings& providers)
{
    const bool removed = co_await credentials.remove(providers.selected());
    if (!removed) {
        // The key and the consent stay as they were.
        m_context.err << L10n::text(L10N_KEY("密钥未删除：钥匙串授权被取消或访问失败")) << Qt::endl;
        co_return ExitStatus::failure;
    }
    // The consent goes with the key; a consent that could not be withdrawn in the settings is
    // a failure.
    const ProviderSettings::Change withdrawal = providers.setConsent(false);
    if (!withdrawal.saved) {
        m_context.err << SettingsWriteMessage::text(withdrawal.saved) << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << L10n::text(L10N_KEY("已删除此服务商的密钥")) << Qt::endl;
    co_return ExitStatus::success;
}

QCoro::Task<int> KeyCommand::status(Credentials& credentials, TranslationProvider provider)
{
    const Credentials::Report report = co_await credentials.status(provider);
    printState(provider, report);
    co_return isFailure(report.state) ? ExitStatus::failure : ExitStatus::success;
}

QCoro::Task<int> KeyCommand::authorize(Credentials& credentials, TranslationProvider provider)
{
    Credentials::Report report = co_await credentials.status(provider);
    if (report.state == CredentialState::missing) {
        m_context.err << L10n::text(L10N_KEY("请先保存 API Key")) << Qt::endl;
        co_return ExitStatus::failure;
    }
    // A failure that says nothing about the key leaves its state as the silent read found it.
    if (const std::optional<Credentials::Report> read = co_await credentials.authorize(provider))
        report = *read;
    printState(provider, report);
    co_return report.state == CredentialState::accessible ? ExitStatus::success : ExitStatus::failure;
}

void KeyCommand::printState(TranslationProvider provider, const Credentials::Report& report)
{
    QString line = displayName(provider) + QStringLiteral("：") + label(report.state);
    if (report.state == CredentialState::failed && report.errorCode) {
        // With no keyring running at all a number would not say what to start.
        if (*report.errorCode == SecretStatus::serviceUnavailable)
            line += QStringLiteral(" · ") + TranslationError::credentialFailure(*report.errorCode).message();
        else
            line += QStringLiteral(" · ") + L10n::text(L10N_KEY("密钥错误码")) + QStringLiteral("：") +
                    QString::number(*report.errorCode);
    }
    m_context.out << line << Qt::endl;
}

} // namespace qw
