#include "engine/TranslationMode.h"

#include "l10n/L10n.h"

namespace qw {

QString rawValue(TranslationMode mode)
{
    switch (mode) {
    case TranslationMode::automatic:
        return QStringLiteral("automatic");
    case TranslationMode::selection:
        return QStringLiteral("selection");
    }
    return {};
}

std::optional<TranslationMode> translationModeFromRawValue(const QString& raw)
{
    for (TranslationMode mode : allTranslationModes()) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}

QList<TranslationMode> allTranslationModes()
{
    return {TranslationMode::automatic, TranslationMode::selection};
}

QString label(TranslationMode mode)
{
    switch (mode) {
    case TranslationMode::automatic:
        return L10n::text(L10N_KEY("自动翻译"));
    case TranslationMode::selection:
        return L10n::text(L10N_KEY("划词翻译"));
    }
    return {};
}

} // namespace qw
