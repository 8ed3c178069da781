#pragma once

#include "accessibility/adapters/AccessibilityElement.h"

#include <QRectF>
#include <QString>
#include <optional>

namespace qw {

// A snapshot of the focused editable text element of another application.
struct FocusedField {
    AccessibilityElement element;
    qint32 pid = 0;
    QString bundleID; // empty when the application has none
    QString appName;
    QString role; // AXRole::unknown when it could not be read
    QString value;
    // Global top-left coordinates; present only when position and size were read and both
    // extents are positive.
    std::optional<QRectF> bounds;
    // Length of the selection in UTF-16 units: 0 for a bare caret, absent when not reported.
    std::optional<qsizetype> selectedLength;

    friend bool operator==(const FocusedField&, const FocusedField&) = default;
};

} // namespace qw
