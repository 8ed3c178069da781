#pragma once

#include <QString>
#include <optional>

namespace qw::SelectionRules {

// Whether a selected text is worth translating: once trimmed, it passes the text policy and
// holds at least one letter.
bool shouldTranslate(const QString& selection);

// The `length` UTF-16 code units of `text` that start at `location`, or none unless the range
// lies wholly inside the text and is not empty. Ranges are code units, never characters, so a
// cut may split a surrogate pair; the caller passes ranges the platform reported.
std::optional<QString> substring(const QString& text, qsizetype location, qsizetype length);

} // namespace qw::SelectionRules
