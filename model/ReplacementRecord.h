#pragma once

#include "accessibility/FocusedField.h"

#include <QString>
#include <optional>

namespace qw {

// What the last write-back changed, so that the restore can undo exactly that write, and only
// while the field still holds what was written.
struct ReplacementRecord {
    FocusedField field; // as it was when the translation was scheduled
    QString original;   // the whole value before the write
    QString translated; // the whole value the write produced
    // Present, all three, only for a replacement of selected text.
    std::optional<QString> selectedOriginal;
    std::optional<QString> selectedTranslated;
    std::optional<qsizetype> selectedLocation; // UTF-16 offset

    bool isSelectionReplacement() const { return selectedOriginal && selectedTranslated && selectedLocation; }

    friend bool operator==(const ReplacementRecord&, const ReplacementRecord&) = default;
};

} // namespace qw
