#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace qw {

// The chat-completion providers, in declared order. The raw value is the persisted form
// (settings, keyring accounts, consent keys).
enum class TranslationProvider { openAI, deepSeek, kimi, custom };

inline QString rawValue(TranslationProvider provider)
{
    switch (provider) {
    case TranslationProvider::openAI:
        return QStringLiteral("openai");
    case TranslationProvider::deepSeek:
        return QStringLiteral("deepseek");
    case TranslationProvider::kimi:
        return QStringLiteral("kimi");
    case TranslationProvider::custom:
        return QStringLiteral("custom");
    }
    return {};
}

// The exact-match parse of a raw value; none for an unknown provider.
std::optional<TranslationProvider> translationProviderFromRawValue(const QString& raw);
// The four providers in declared order.
QList<TranslationProvider> allTranslationProviders();
// The built-in names are product names and stay as they are; only the custom provider's name
// is localized.
QString displayName(TranslationProvider provider);
// The public HTTPS API base of a built-in provider (its host is the only one accepted for it);
// empty for the custom provider.
QString defaultBaseURL(TranslationProvider provider);
// Kimi and the custom provider have no default model: the user has to choose one.
QString defaultModel(TranslationProvider provider);
QStringList suggestedModels(TranslationProvider provider);

} // namespace qw
