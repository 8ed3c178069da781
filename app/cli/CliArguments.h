#pragma once

#include "core/Result.h"
#include "engine/TranslationLanguage.h"
#include "engine/TranslationProvider.h"

#include <QString>

namespace qw::CliArguments {

// A provider named on the command line by its raw value ("openai", "deepseek", "kimi",
// "custom"), in any case. The failure is the localized message.
Result<TranslationProvider, QString> provider(const QString& name);

// A language named on the command line: its raw value ("English", "日本語"), its English name
// or a common code ("en", "ja", "zh", "auto"), compared without regard to case. The failure is
// the localized message.
Result<TranslationLanguage, QString> language(const QString& name);

} // namespace qw::CliArguments
