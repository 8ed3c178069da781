#pragma once

#include <QString>

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

} // namespace qw
