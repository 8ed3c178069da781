#include "app/cli/KeyCommand.h"

#include "app/cli/CliArguments.h"
#include "app/cli/CliModelHost.h"
#include "app/cli/ProviderOverrideSettings.h"
#include "core/Clock.h"
#include "engine/SecretBackend.h"
#include "engine/TranslationError.h"
#include "l10n/L10n.h"
#include "model/AppSettings.h"
#include "model/KeyringOperations.h"

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
    if (action == Action::status)
        co_return co_await status(provider);
    CliModelHost host(m_context, provider);
    // The silent read at start settles first, so that its late answer cannot overwrite what the
    // command itself finds out.
    co_await host.credentialSettled();
    switch (action) {
    case Action::set:
        co_return co_await set(host);
    case Action::remove:
        co_return co_await remove(host);
    case Action::status:
        break;
    case Action::authorize:
        co_return co_await authorize(host);
    }
    co_return ExitStatus::usage;
}

QCoro::Task<int> KeyCommand::set(CliModelHost& host)
{
    AppModel& model = host.model();
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
    const bool saved = co_await model.storeKey(key);
    if (!saved) {
        // The model's own reason: an empty key never overwrites a stored one, or the keyring
        // refused the key.
        m_context.err << (key.trimmed().isEmpty() ? model.status() : model.connectionStatus()) << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << model.connectionStatus() << Qt::endl;
    co_return ExitStatus::success;
}

QCoro::Task<int> KeyCommand::remove(CliModelHost& host)
{
    AppModel& model = host.model();
    co_await model.deleteCurrentKey();
    // Anything but the deletion's own message is a failure: the keyring kept the key, or the
    // consent that goes with it could not be withdrawn in the settings.
    if (model.credentialState() != CredentialState::missing ||
        model.connectionStatus() != L10n::text(L10N_KEY("已删除此服务商的密钥"))) {
        m_context.err << model.connectionStatus() << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << model.connectionStatus() << Qt::endl;
    co_return ExitStatus::success;
}

QCoro::Task<int> KeyCommand::status(std::optional<TranslationProvider> provider)
{
    std::unique_ptr<ProviderOverrideSettings> otherProvider;
    if (provider)
        otherProvider = std::make_unique<ProviderOverrideSettings>(m_context.settings, *provider);
    // The allow list plays no part here.
    const AppSettings settings(otherProvider ? *otherProvider : m_context.settings, {},
                               m_context.clock.now());
    const TranslationProvider selected = settings.values().selectedProvider;
    Credentials credentials(m_context.service,
                            KeyringOperations::presence(m_context.keychain, m_context.keyringWorker));
    const Credentials::Report report = co_await credentials.status(selected);
    printState(selected, report);
    co_return isFailure(report.state) ? ExitStatus::failure : ExitStatus::success;
}

QCoro::Task<int> KeyCommand::authorize(CliModelHost& host)
{
    AppModel& model = host.model();
    if (!model.hasAPIKey()) {
        m_context.err << L10n::text(L10N_KEY("请先保存 API Key")) << Qt::endl;
        co_return ExitStatus::failure;
    }
    model.authorizeCredential();
    const std::function<bool()> authorized = [&model] {
        return !model.isAuthorizingKey();
    };
    co_await host.until(authorized);
    Credentials::Report report{model.credentialState(), std::nullopt};
    const auto code = model.credentialErrorCodes().find(model.selectedProvider());
    if (code != model.credentialErrorCodes().end())
        report.errorCode = code->second;
    printState(model.selectedProvider(), report);
    co_return model.credentialState() == CredentialState::accessible ? ExitStatus::success
                                                                     : ExitStatus::failure;
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
