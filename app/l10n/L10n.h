#pragma once

#include "app/l10n/InterfaceLanguage.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// Marks a localization key: a Simplified Chinese literal that is also the key into the English
// table. Every key the code looks up is written this way (one literal, no concatenation), so a
// test can find them all and check the tables.
#define L10N_KEY(text) QStringLiteral(text)

namespace qw::L10n {

using Table = QHash<QString, QString>;

// The table code for a language: "zh-Hans" or "en". `system` follows the first preferred
// language: "zh…" gives "zh-Hans", anything else (or none) "en".
QString code(InterfaceLanguage language, const QStringList& preferredLanguages);
// The code of the current language, with the desktop's preferred languages.
QString currentCode();

// The whole "Localizable" table of a code, or none when there is no table for it.
std::optional<Table> table(const QString& code);

// The key's text in the given language (current language when absent); a missing key yields
// the key itself.
QString text(const QString& key, std::optional<InterfaceLanguage> language = std::nullopt);

// Looks the key up in the current language and fills its "%@" placeholders in order.
QString format(const QString& key, const QStringList& arguments);

// Turns a message produced in `from` into the current language (see the implementation for
// how placeholders are recovered). A message found in no table comes back unchanged.
QString relocalize(const QString& message, InterfaceLanguage from);

} // namespace qw::L10n
