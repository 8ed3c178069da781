#include "app/cli/ProviderCommand.h"

#include "app/cli/CliArguments.h"
#include "app/cli/ProviderOverrideSettings.h"
#include "core/Clock.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "model/AppSettings.h"
#include "model/Credentials.h"
#include "model/ProviderSettings.h"
#include "model/SettingsWriteMessage.h"

namespace qw {

namespace {

// The settings as the command sees them: with --provider, that provider reads as selected.
// The allow list plays no part here.
struct CommandSettings {
    CommandSettings(CliContext& context, std::optional<TranslationProvider> provider)
        : otherProvider(provider ? std::make_unique<ProviderOverrideSettings>(context.settings, *provider)
                                 : nullptr),
          settings(otherProvider ? *otherProvider : context.settings, {}, context.clock.now()),
          providers(settings)
    {
    }

    std::unique_ptr<ProviderOverrideSettings> otherProvider;
    AppSettings settings;
    ProviderSettings providers;
};

} // namespace

QCoro::Task<int> ProviderCommand::provider(QStringList arguments, Settings settings)
{
    const bool changesSettings = !settings.address.isEmpty() || !settings.model.isEmpty();
    const bool selects = arguments.size() == 2 && arguments.first() == u"set";
    // Selecting one provider while naming another with --provider says two different things.
    if ((!arguments.isEmpty() && !selects) || (selects && (changesSettings || m_provider))) {
        m_context.err << L10n::text(L10N_KEY(
                             "用法：quillweave provider [set <服务商>] [--address <地址>] [--model <模型>]"))
                      << Qt::endl;
        co_return ExitStatus::usage;
    }
    std::optional<TranslationProvider> chosen;
    if (selects) {
        const auto named = CliArguments::provider(arguments.at(1));
        if (!named) {
            m_context.err << named.error() << Qt::endl;
            co_return ExitStatus::usage;
        }
        chosen = named.value();
    }

    CommandSettings stored(m_context, m_provider);
    ProviderSettings& providers = stored.providers;
    if (chosen) {
        const ProviderSettings::Change change = providers.select(*chosen);
        if (!change.saved) {
            m_context.err << SettingsWriteMessage::text(change.saved) << Qt::endl;
            co_return ExitStatus::failure;
        }
    } else if (changesSettings) {
        const int status = update(providers, settings);
        if (status != ExitStatus::success)
            co_return status;
    }
    co_await show(providers);
    co_return ExitStatus::success;
}

int ProviderCommand::update(ProviderSettings& providers, const Settings& settings)
{
    const ProviderConfiguration current = providers.current();
    if (!settings.address.isEmpty() && providers.selected() != TranslationProvider::custom &&
        settings.address.trimmed() != current.baseURL) {
        // The built-in address would be kept anyway; saying so beats a silent no.
        m_context.err << L10n::text(L10N_KEY("只有自定义服务商可以更改地址")) << Qt::endl;
        return ExitStatus::usage;
    }
    const QString address = settings.address.isEmpty() ? current.baseURL : settings.address;
    const QString modelName = settings.model.isEmpty() ? current.model : settings.model;
    const ProviderSettings::Change change = providers.configure(address, modelName);
    if (change.refusal || !change.saved) {
        m_context.err << (change.refusal ? *change.refusal : SettingsWriteMessage::text(change.saved))
                      << Qt::endl;
        return ExitStatus::failure;
    }
    m_context.out << L10n::text(L10N_KEY("配置已保存，可测试连接")) << Qt::endl;
    return ExitStatus::success;
}

QCoro::Task<void> ProviderCommand::show(const ProviderSettings& providers)
{
    Credentials credentials(m_context.service, m_context.keychain, m_context.keyringWorker);
    const Credentials::Report key = co_await credentials.status(providers.selected());
    const ProviderConfiguration config = providers.current();
    auto row = [this](const QString& name, const QString& value) {
        m_context.out << name << QStringLiteral("：") << value << Qt::endl;
    };
    row(L10n::text(L10N_KEY("服务商")), displayName(providers.selected()));
    row(L10n::text(L10N_KEY("地址")), config.baseURL);
    row(L10n::text(L10N_KEY("模型")), config.model);
    row(L10n::text(L10N_KEY("云翻译同意")),
        providers.consent() ? L10n::text(L10N_KEY("已同意")) : L10n::text(L10N_KEY("未同意")));
    row(L10n::text(L10N_KEY("密钥")), label(key.state));
}

QCoro::Task<int> ProviderCommand::consent(QStringList arguments)
{
    if (arguments.size() != 1 || (arguments.first() != u"on" && arguments.first() != u"off")) {
        m_context.err << L10n::text(L10N_KEY("用法：quillweave consent <on|off>")) << Qt::endl;
        co_return ExitStatus::usage;
    }
    const bool on = arguments.first() == u"on";
    CommandSettings stored(m_context, m_provider);
    ProviderSettings& providers = stored.providers;
    const ProviderSettings::Change change = providers.setConsent(on);
    if (change.refusal) {
        // Consent is bound to a valid endpoint, and there is none.
        m_context.err << *change.refusal << Qt::endl;
        co_return ExitStatus::failure;
    }
    if (!change.saved) {
        m_context.err << SettingsWriteMessage::text(change.saved) << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << displayName(providers.selected()) << QStringLiteral("：")
                  << (on ? L10n::text(L10N_KEY("已同意")) : L10n::text(L10N_KEY("未同意"))) << Qt::endl;
    co_return ExitStatus::success;
}

QCoro::Task<int> ProviderCommand::testConnection()
{
    CommandSettings stored(m_context, m_provider);
    const ProviderConfiguration config = stored.providers.current();
    Credentials credentials(m_context.service, m_context.keychain, m_context.keyringWorker);
    const Credentials::Report key = co_await credentials.status(config.provider);
    if (key.state == CredentialState::missing) {
        m_context.err << L10n::text(L10N_KEY("请先保存 API Key")) << Qt::endl;
        co_return ExitStatus::failure;
    }
    // Silent: a test never makes the keyring prompt.
    TranslationService::TextResult result = co_await m_context.service.credential(config.provider, false);
    const CancellationToken uncancelled;
    if (result)
        result = co_await m_context.service.testConnection(config, uncancelled);
    if (!result) {
        m_context.err << result.error().message() << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << result.value() << Qt::endl;
    co_return ExitStatus::success;
}

} // namespace qw
