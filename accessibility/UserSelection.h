#pragma once

#include "accessibility/FocusedField.h"
#include "accessibility/adapters/TextRange.h"

#include <optional>

namespace qw {

// Text the user has selected in an allowed application.
struct UserSelection {
    AccessibilityElement element;
    QString text; // never empty
    std::optional<QRectF> bounds;
    // Present only when the selection lies in the focused field itself.
    std::optional<FocusedField> field;
    // Where the selection lies inside field->value; only together with `field`, never empty.
    std::optional<TextRange> range;

    friend bool operator==(const UserSelection&, const UserSelection&) = default;
};

} // namespace qw
