#pragma once

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

private:
    AtspiObjectCache& m_cache;
};

} // namespace qw
