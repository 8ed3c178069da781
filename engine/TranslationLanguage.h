#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace qw {

// The languages a translation goes from and to, in declared order. The raw value is the
// persisted form, part of the cache key and the language name written into the prompt, so it is
// compared byte for byte and never normalised.
enum class TranslationLanguage {
    automatic,
    chinese,
    english,
    japanese,
    korean,
    french,
    german,
    spanish,
    russian
};

QString rawValue(TranslationLanguage language);
// The exact-match parse of a raw value; none for anything else (the caller picks a default).
std::optional<TranslationLanguage> translationLanguageFromRawValue(const QString& raw);
// All nine cases in declared order (the order pickers offer them in).
QList<TranslationLanguage> allTranslationLanguages();
// Every case except `automatic`, which is only ever a source.
QList<TranslationLanguage> translationTargets();
// The label in the current interface language.
QString label(TranslationLanguage language);
// A target must be a real language and differ from the source; an automatic source suits any target.
bool isValidLanguagePair(TranslationLanguage source, TranslationLanguage target);

} // namespace qw
