#pragma once

#include "accessibility/adapters/AccessibilityAPI.h"
#include "platform/atspi/AtspiObject.h"

namespace qw {

class AtspiObjectCache;
class AtspiRequest;

// Writes the value, the selected range and the selected text of one object through AT-SPI's
// Text and EditableText interfaces, converting the bridge's UTF-16 ranges into the toolkit's
// offsets. A password field is never written, and its role is read afresh before every write.
class AtspiTextWriter {
public:
    explicit AtspiTextWriter(AtspiObjectCache& cache) : m_cache(cache) {}

    SettableResult isSettable(AtspiRequest& request, const AtspiObject& object, const QString& attribute);
    int write(AtspiRequest& request, const AtspiObject& object, const QString& attribute,
              const AttributeValue& value);

private:
    int setRange(AtspiRequest& request, const AtspiObject& object, const TextRange& range);
    int setSelectedText(AtspiRequest& request, const AtspiObject& object, const QString& replacement);

    AtspiObjectCache& m_cache;
};

} // namespace qw
