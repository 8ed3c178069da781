#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace qw {

// How input translation is triggered: the whole field after a typing pause, or only the
// selected part of it.
enum class TranslationMode { automatic, selection };

QString rawValue(TranslationMode mode);
std::optional<TranslationMode> translationModeFromRawValue(const QString& raw);
QList<TranslationMode> allTranslationModes();
// The label in the current interface language.
QString label(TranslationMode mode);

} // namespace qw
