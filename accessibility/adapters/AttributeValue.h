#pragma once

#include "accessibility/adapters/AXErrorCode.h"
#include "accessibility/adapters/AccessibilityElement.h"
#include "accessibility/adapters/TextRange.h"

#include <QPointF>
#include <QSizeF>
#include <QString>
#include <variant>

namespace qw {

// The value of an accessibility attribute, already decoded: absent, text, boolean, number,
// point, size, text range or element. Points are in global coordinates with the origin at the
// top-left of the primary display and y growing downward.
using AttributeValue = std::variant<std::monostate, QString, bool, qint64, double, QPointF, QSizeF, TextRange,
                                    AccessibilityElement>;

// An attribute read: the platform error code (AXErrorCode::success when it worked) and the
// value, which is std::monostate unless the read succeeded.
struct AttributeResult {
    int error = AXErrorCode::noValue;
    AttributeValue value;

    bool succeeded() const { return error == AXErrorCode::success; }
};

struct SettableResult {
    int error = AXErrorCode::failure;
    bool settable = false;
};

struct ProcessIdResult {
    int error = AXErrorCode::failure;
    qint32 pid = 0;
};

struct ElementResult {
    int error = AXErrorCode::noValue;
    AccessibilityElement element;
};

} // namespace qw
