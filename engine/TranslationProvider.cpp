#include "engine/TranslationProvider.h"

#include "l10n/L10n.h"

namespace qw {

std::optional<TranslationProvider> translationProviderFromRawValue(const QString& raw)
{
    for (TranslationProvider provider : allTranslationProviders()) {
        if (rawValue(provider) == raw)
            return provider;
    }
    return std::nullopt;
}

QList<TranslationProvider> allTranslationProviders()
{
    return {TranslationProvider::openAI, TranslationProvider::deepSeek, TranslationProvider::kimi,
            TranslationProvider::custom};
}

QString displayName(TranslationProvider provider)
{
    switch (provider) {
    case TranslationProvider::openAI:
        return QStringLiteral("OpenAI");
    case TranslationProvider::deepSeek:
        return QStringLiteral("DeepSeek");
    case TranslationProvider::kimi:
        return QStringLiteral("Kimi / Moonshot");
    case TranslationProvider::custom:
        return L10n::text(L10N_KEY("自定义 OpenAI 兼容接口"));
    }
    return {};
}

QString defaultBaseURL(TranslationProvider provider)
{
    switch (provider) {
    case TranslationProvider::openAI:
        return QStringLiteral("https://api.openai.com/v1");
    case TranslationProvider::deepSeek:
        return QStringLiteral("https://api.deepseek.com");
    case TranslationProvider::kimi:
        return QStringLiteral("https://api.moonshot.cn/v1");
    case TranslationProvider::custom:
        return {};
    }
    return {};
}

QString defaultModel(TranslationProvider provider)
{
    switch (provider) {
    case TranslationProvider::openAI:
        return QStringLiteral("gpt-4.1-mini");
    case TranslationProvider::deepSeek:
        return QStringLiteral("deepseek-flash");
    case TranslationProvider::kimi:
    case TranslationProvider::custom:
        return {};
    }
    return {};
}

QStringList suggestedModels(TranslationProvider provider)
{
    switch (provider) {
    case TranslationProvider::openAI:
        return {QStringLiteral("gpt-4.1-mini"), QStringLiteral("gpt-4.1-nano"), QStringLiteral("gpt-4.1")};
    case TranslationProvider::deepSeek:
        return {QStringLiteral("deepseek-flash"), QStringLiteral("deepseek-v4-pro")};
    case TranslationProvider::kimi:
        return {QStringLiteral("moonshot-v1-8k"), QStringLiteral("moonshot-v1-32k")};
    case TranslationProvider::custom:
        return {};
    }
    return {};
}

} // namespace qw
