#pragma once

#include <QString>
#include <optional>

namespace qw::TranslationFlowRules {

// Whether an automatic input translation may be scheduled for the focused field's text. Not
// while the user has text selected in the field (`selectedLength` present and not 0: the
// translation would disturb the editing), not for a text the text policy refuses, and not for
// a text without a single letter (digits, punctuation, symbols and emoji alone).
bool shouldSchedule(const QString& source, std::optional<qsizetype> selectedLength);

} // namespace qw::TranslationFlowRules
