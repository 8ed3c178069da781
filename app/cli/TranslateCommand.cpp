#include "app/cli/TranslateCommand.h"

#include "app/cli/CliArguments.h"
#include "app/cli/ProviderOverrideSettings.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "model/StoredTranslationSettings.h"
#include "policy/TextPolicy.h"

#include <optional>

namespace qw {

bool TranslateCommand::applyLanguages(const Options& options, StoredTranslationSettings& settings)
{
    if (!options.from.isEmpty()) {
        const auto language = CliArguments::language(options.from);
        if (!language) {
            m_context.err << language.error() << Qt::endl;
            return false;
        }
        settings.sourceLanguage = language.value();
    }
    if (!options.to.isEmpty()) {
        const auto language = CliArguments::language(options.to);
        if (!language) {
            m_context.err << language.error() << Qt::endl;
            return false;
        }
        settings.targetLanguage = language.value();
    }
    if (!isValidLanguagePair(settings.sourceLanguage, settings.targetLanguage)) {
        m_context.err << L10n::text(L10N_KEY("源语言与目标语言必须不同")) << Qt::endl;
        return false;
    }
    return true;
}

QCoro::Task<int> TranslateCommand::run(Options options)
{
    // Another provider is read as if it were the selected one: its configuration and the
    // consent the program would hold for it.
    std::optional<ProviderOverrideSettings> otherProvider;
    if (!options.provider.isEmpty()) {
        const auto provider = CliArguments::provider(options.provider);
        if (!provider) {
            m_context.err << provider.error() << Qt::endl;
            co_return ExitStatus::usage;
        }
        otherProvider.emplace(m_context.settings, provider.value());
    }
    StoredTranslationSettings settings =
        StoredTranslationSettings::load(otherProvider ? *otherProvider : m_context.settings);

    if (!applyLanguages(options, settings))
        co_return ExitStatus::usage;

    // --cloud asks for the cloud path; it is taken only with the consent given for the
    // provider's current address, which `consent on` records and an address change withdraws.
    if (options.cloud && !settings.cloudConsent) {
        m_context.err << L10n::text(L10N_KEY("尚未允许使用当前云翻译服务")) << Qt::endl;
        co_return ExitStatus::failure;
    }

    QString text = options.text;
    if (options.textFromStandardInput) {
        const auto input = CliArguments::standardInput(m_context.readStandardInput());
        if (!input) {
            m_context.err << CliArguments::invalidStandardInput() << Qt::endl;
            co_return ExitStatus::failure;
        }
        text = *input;
    }
    // Nothing that looks like a secret, nothing empty and nothing overlong leaves this machine.
    const TextVerdict verdict = TextPolicy::verdict(text);
    if (verdict == TextVerdict::tooLong) {
        m_context.err << L10n::format(L10N_KEY("文字过长：最多 %@ 个字符，当前 %@ 个"),
                                      {L10n::number(TextPolicy::maximumCharacters),
                                       L10n::number(TextPolicy::characterCount(text))})
                      << Qt::endl;
        co_return ExitStatus::failure;
    }
    if (verdict != TextVerdict::allowed) {
        m_context.err << L10n::text(L10N_KEY("当前内容无需翻译或受到保护")) << Qt::endl;
        co_return ExitStatus::failure;
    }

    const auto result = co_await m_context.service.translate(
        text, settings.configuration, options.cloud, rawValue(settings.targetLanguage),
        rawValue(settings.sourceLanguage), QString(), /*useCache=*/false);
    if (!result) {
        m_context.err << result.error().message() << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << result.value() << Qt::endl;
    co_return ExitStatus::success;
}

} // namespace qw
