#pragma once

#include "core/Result.h"
#include "engine/TranslationLanguage.h"
#include "engine/TranslationProvider.h"
#include "l10n/InterfaceLanguage.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace qw::CliArguments {

// A provider named on the command line by its raw value ("openai", "deepseek", "kimi",
// "custom"), in any case. The failure is the localized message.
Result<TranslationProvider, QString> provider(const QString& name);

// A language named on the command line: its raw value ("English", "日本語"), its English name
// or a common code ("en", "ja", "zh", "auto"), compared without regard to case. The failure is
// the localized message.
Result<TranslationLanguage, QString> language(const QString& name);

// An interface language by its raw value ("system", "zh-Hans", "en"), in any case. The failure
// is the localized message.
Result<InterfaceLanguage, QString> interfaceLanguage(const QString& name);

// Standard input as text: none when the bytes are not valid UTF-8. Broken bytes are refused
// rather than turned into U+FFFD and sent or stored.
std::optional<QString> standardInput(const QByteArray& bytes);
// What the command line says when standard input is not valid UTF-8.
QString invalidStandardInput();

// Whether the text holds a control character (NUL, escape, a tab, a line break…).
bool containsControlCharacter(const QString& text);

// The argument itself when it is safe to repeat in a message (a short word such as a mistyped
// option or language), otherwise "…": a pasted key or a text must never reach standard error.
QString repeatable(const QString& argument);

} // namespace qw::CliArguments
