#pragma once

#include "accessibility/FocusedField.h"

#include <QString>

namespace qw {

// The text pinned for one input translation: the field as it was when the job was scheduled,
// the text that goes to the provider, and the model's revision at that moment. A result is only
// shown, and a translation only written, while the field still holds exactly this text.
struct TranslationSnapshot {
    FocusedField field;
    QString originalText;
    quint64 revision = 0;

    friend bool operator==(const TranslationSnapshot&, const TranslationSnapshot&) = default;
};

} // namespace qw
