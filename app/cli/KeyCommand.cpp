#include "app/cli/KeyCommand.h"

#include "app/cli/CliArguments.h"
#include "app/cli/StoredTranslationSettings.h"
#include "app/l10n/L10n.h"
#include "core/SerialWorker.h"
#include "engine/CredentialState.h"
#include "engine/KeychainStore.h"
#include "engine/SecretBackend.h"
#include "engine/TranslationService.h"

namespace qw {

QCoro::Task<int> KeyCommand::run(Action action, QString providerName)
{
    TranslationProvider provider = StoredTranslationSettings::selectedProvider(m_context.settings);
    if (!providerName.isEmpty()) {
        const auto named = CliArguments::provider(providerName);
        if (!named) {
            m_context.err << named.error() << Qt::endl;
            co_return ExitStatus::usage;
        }
        provider = named.value();
    }
    switch (action) {
    case Action::set:
        co_return co_await set(provider);
    case Action::remove:
        co_return co_await remove(provider);
    case Action::status:
        co_return co_await status(provider);
    }
    co_return ExitStatus::usage;
}

QCoro::Task<int> KeyCommand::set(TranslationProvider provider)
{
    const QString key = m_context.readStandardInput().trimmed();
    if (key.isEmpty()) {
        m_context.err << L10n::text(L10N_KEY("空 Key 不会覆盖已存密钥")) << Qt::endl;
        co_return ExitStatus::failure;
    }
    KeychainStore& keychain = m_context.keychain;
    // The lambda is a named local: g++ 12 destroys a lambda temporary inside co_await twice.
    auto save = [&keychain, key, provider] {
        return keychain.save(key, provider);
    };
    const bool saved = co_await m_context.keyringWorker.run(save);
    if (!saved) {
        m_context.err << L10n::text(L10N_KEY("密钥写入钥匙串失败")) << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.service.clearCredentials(provider);
    m_context.out << L10n::text(L10N_KEY("密钥已保存，尚未测试连接")) << Qt::endl;
    co_return ExitStatus::success;
}

QCoro::Task<int> KeyCommand::remove(TranslationProvider provider)
{
    KeychainStore& keychain = m_context.keychain;
    auto removeKey = [&keychain, provider] {
        return keychain.remove(provider);
    };
    const bool removed = co_await m_context.keyringWorker.run(removeKey);
    m_context.service.clearCredentials(provider);
    if (!removed) {
        m_context.err << L10n::text(L10N_KEY("密钥未删除：钥匙串授权被取消或访问失败")) << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << L10n::text(L10N_KEY("已删除此服务商的密钥")) << Qt::endl;
    co_return ExitStatus::success;
}

QCoro::Task<int> KeyCommand::status(TranslationProvider provider)
{
    // A silent read: the status never makes the keyring prompt, and the key itself is dropped
    // on the worker thread without ever reaching this one.
    KeychainStore& keychain = m_context.keychain;
    struct Outcome {
        bool found = false;
        qint32 status = 0;
        bool failed = false;
    };
    auto read = [&keychain, provider] {
        const auto loaded = keychain.load(provider, /*allowAuthentication=*/false);
        if (!loaded)
            return Outcome{false, loaded.error().status, true};
        return Outcome{loaded.value().has_value(), 0, false};
    };
    const Outcome outcome = co_await m_context.keyringWorker.run(read);

    CredentialState state = CredentialState::missing;
    if (outcome.failed) {
        switch (outcome.status) {
        case SecretStatus::userCancelled:
            state = CredentialState::cancelled;
            break;
        case SecretStatus::interactionNotAllowed:
            state = CredentialState::lockedOrApproval;
            break;
        default:
            state = CredentialState::failed;
            break;
        }
    } else if (outcome.found) {
        state = CredentialState::accessible;
    }

    QString line = displayName(provider) + QStringLiteral("：") + label(state);
    if (state == CredentialState::failed)
        line += QStringLiteral(" · ") + L10n::text(L10N_KEY("密钥错误码")) + QStringLiteral("：") +
                QString::number(outcome.status);
    m_context.out << line << Qt::endl;
    co_return outcome.failed ? ExitStatus::failure : ExitStatus::success;
}

} // namespace qw
