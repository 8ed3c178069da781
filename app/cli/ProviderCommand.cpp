#include "app/cli/ProviderCommand.h"

#include "app/cli/CliArguments.h"
#include "app/cli/CliModelHost.h"
#include "app/cli/ProviderOverrideSettings.h"
#include "core/Clock.h"
#include "l10n/L10n.h"
#include "model/AppSettings.h"
#include "model/ProviderSettings.h"
#include "model/SettingsWriteMessage.h"

namespace qw {

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

    CliModelHost host(m_context, m_provider);
    co_await host.credentialSettled();
    AppModel& model = host.model();
    if (chosen) {
        const SettingsWriteResult saved = model.setSelectedProvider(*chosen);
        if (!saved) {
            m_context.err << SettingsWriteMessage::text(saved) << Qt::endl;
            co_return ExitStatus::failure;
        }
        co_await host.credentialSettled();
    } else if (changesSettings) {
        const int status = update(host, settings);
        if (status != ExitStatus::success)
            co_return status;
    }
    show(host);
    co_return ExitStatus::success;
}

int ProviderCommand::update(CliModelHost& host, const Settings& settings)
{
    AppModel& model = host.model();
    const ProviderConfiguration current = model.currentProviderConfiguration();
    if (!settings.address.isEmpty() && model.selectedProvider() != TranslationProvider::custom &&
        settings.address.trimmed() != current.baseURL) {
        // The model would keep the built-in address anyway; saying so beats a silent no.
        m_context.err << L10n::text(L10N_KEY("只有自定义服务商可以更改地址")) << Qt::endl;
        return ExitStatus::usage;
    }
    const QString address = settings.address.isEmpty() ? current.baseURL : settings.address;
    const QString modelName = settings.model.isEmpty() ? current.model : settings.model;
    model.updateProviderSettings(address, modelName);
    const QString saved = L10n::text(L10N_KEY("配置已保存，可测试连接"));
    if (model.connectionStatus() != saved) {
        m_context.err << model.connectionStatus() << Qt::endl;
        return ExitStatus::failure;
    }
    m_context.out << saved << Qt::endl;
    return ExitStatus::success;
}

void ProviderCommand::show(CliModelHost& host)
{
    const AppModel& model = host.model();
    const ProviderConfiguration config = model.currentProviderConfiguration();
    auto row = [this](const QString& name, const QString& value) {
        m_context.out << name << QStringLiteral("：") << value << Qt::endl;
    };
    row(L10n::text(L10N_KEY("服务商")), displayName(model.selectedProvider()));
    row(L10n::text(L10N_KEY("地址")), config.baseURL);
    row(L10n::text(L10N_KEY("模型")), config.model);
    row(L10n::text(L10N_KEY("云翻译同意")),
        model.cloudConsent() ? L10n::text(L10N_KEY("已同意")) : L10n::text(L10N_KEY("未同意")));
    row(L10n::text(L10N_KEY("密钥")), label(model.credentialState()));
}

QCoro::Task<int> ProviderCommand::consent(QStringList arguments)
{
    if (arguments.size() != 1 || (arguments.first() != u"on" && arguments.first() != u"off")) {
        m_context.err << L10n::text(L10N_KEY("用法：quillweave consent <on|off>")) << Qt::endl;
        co_return ExitStatus::usage;
    }
    const bool on = arguments.first() == u"on";
    std::optional<ProviderOverrideSettings> otherProvider;
    if (m_provider)
        otherProvider.emplace(m_context.settings, *m_provider);
    // The allow list plays no part here.
    AppSettings settings(otherProvider ? *otherProvider : m_context.settings, {}, m_context.clock.now());
    ProviderSettings providers(settings);
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
    CliModelHost host(m_context, m_provider);
    co_await host.credentialSettled();
    AppModel& model = host.model();
    model.testProviderConnection();
    const std::function<bool()> finished = [&model] {
        return !model.isTestingConnection();
    };
    co_await host.until(finished);
    if (!model.connectionSucceeded()) {
        m_context.err << model.connectionStatus() << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << model.connectionStatus() << Qt::endl;
    co_return ExitStatus::success;
}

} // namespace qw
