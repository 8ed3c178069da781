#pragma once

#include "accessibility/adapters/AXErrorCode.h"
#include "accessibility/adapters/AccessibilityAPI.h"
#include "platform/atspi/AtspiObject.h"

namespace qw {

class AtspiObjectCache;
class AtspiRequest;

// Answers the bridge's attribute reads of one object (role, subrole, protection, editability,
// position and size, parent, value, selected range and selected text) from AT-SPI. Text is
// never asked of a password field, and the role is read afresh before every text read.
class AtspiAttributeReader {
public:
    explicit AtspiAttributeReader(AtspiObjectCache& cache) : m_cache(cache) {}

    AttributeResult read(AtspiRequest& request, const AtspiObject& object, const QString& attribute);
    // The text and its selection from one reading of the text.
    AccessibilityAPI::TextState readTextState(AtspiRequest& request, const AtspiObject& object);

private:
    // The text (never of a password field), and with `withSelection` the selection in UTF-16
    // units; the error of the first part that failed.
    struct TextReading {
        int error = AXErrorCode::success;
        std::optional<QString> text;
        std::optional<TextRange> selection;
    };
    TextReading readText(AtspiRequest& request, const AtspiObject& object, bool withSelection);

    AtspiObjectCache& m_cache;
};

} // namespace qw
