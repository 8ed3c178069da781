#pragma once

#include "accessibility/FocusedField.h"
#include "accessibility/adapters/TextRange.h"

#include <optional>

namespace qw {

// What AXWorker::replace is asked to write. With a range, only that UTF-16 range of a value
// that must still equal `expectedValue` is replaced; without one, the whole value, which must
// still equal `original`. Undo is the same request with original and translated swapped.
struct AXReplaceRequest {
    QString original;
    QString translated;
    FocusedField field;
    std::optional<TextRange> range;
    std::optional<QString> expectedValue; // required with a range
    bool clipboardFallbackEnabled = false;
    // True when replacing what the user selected: the current selection must already be
    // exactly `range`. False for a restore, which may select `range` itself.
    bool requireCurrentSelection = true;
};

} // namespace qw
