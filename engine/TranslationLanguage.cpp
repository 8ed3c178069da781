#include "engine/TranslationLanguage.h"

#include "l10n/L10n.h"

namespace qw {

QString rawValue(TranslationLanguage language)
{
    switch (language) {
    case TranslationLanguage::automatic:
        return QStringLiteral("auto-detect");
    case TranslationLanguage::chinese:
        return QStringLiteral("Simplified Chinese");
    case TranslationLanguage::english:
        return QStringLiteral("English");
    case TranslationLanguage::japanese:
        return QStringLiteral("日本語");
    case TranslationLanguage::korean:
        return QStringLiteral("한국어");
    case TranslationLanguage::french:
        return QStringLiteral("Français");
    case TranslationLanguage::german:
        return QStringLiteral("Deutsch");
    case TranslationLanguage::spanish:
        return QStringLiteral("Español");
    case TranslationLanguage::russian:
        return QStringLiteral("Русский");
    }
    return {};
}

std::optional<TranslationLanguage> translationLanguageFromRawValue(const QString& raw)
{
    for (TranslationLanguage language : allTranslationLanguages()) {
        if (rawValue(language) == raw)
            return language;
    }
    return std::nullopt;
}

QList<TranslationLanguage> allTranslationLanguages()
{
    return {TranslationLanguage::automatic, TranslationLanguage::chinese, TranslationLanguage::english,
            TranslationLanguage::japanese,  TranslationLanguage::korean,  TranslationLanguage::french,
            TranslationLanguage::german,    TranslationLanguage::spanish, TranslationLanguage::russian};
}

QList<TranslationLanguage> translationTargets()
{
    QList<TranslationLanguage> targets = allTranslationLanguages();
    targets.removeAll(TranslationLanguage::automatic);
    return targets;
}

QString label(TranslationLanguage language)
{
    switch (language) {
    case TranslationLanguage::automatic:
        return L10n::text(L10N_KEY("自动检测"));
    case TranslationLanguage::chinese:
        return L10n::text(L10N_KEY("简体中文"));
    case TranslationLanguage::english:
        return L10n::text(L10N_KEY("英语"));
    case TranslationLanguage::japanese:
        return L10n::text(L10N_KEY("日语"));
    case TranslationLanguage::korean:
        return L10n::text(L10N_KEY("韩语"));
    case TranslationLanguage::french:
        return L10n::text(L10N_KEY("法语"));
    case TranslationLanguage::german:
        return L10n::text(L10N_KEY("德语"));
    case TranslationLanguage::spanish:
        return L10n::text(L10N_KEY("西班牙语"));
    case TranslationLanguage::russian:
        return L10n::text(L10N_KEY("俄语"));
    }
    return {};
}

bool isValidLanguagePair(TranslationLanguage source, TranslationLanguage target)
{
    return target != TranslationLanguage::automatic && source != target;
}

} // namespace qw
