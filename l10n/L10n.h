#pragma once

#include "l10n/InterfaceLanguage.h"

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

// A number written the way the current language writes it, for the arguments of `format`.
QString number(qint64 value);
QString number(double value, int precision);

// Turns a message produced in `from` into the current language: a text of the source table
// gives its key's text, a filled-in pattern gives its key's text filled with the same
// arguments. A message found in no table comes back unchanged.
QString relocalize(const QString& message, InterfaceLanguage from);
// The same against a given source table.
QString relocalize(const QString& message, const Table& source);

} // namespace qw::L10n
