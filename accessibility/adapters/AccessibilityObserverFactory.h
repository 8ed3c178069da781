#pragma once

#include "accessibility/adapters/AccessibilityObserver.h"

#include <functional>
#include <memory>

namespace qw {

class AccessibilityObserverFactory {
public:
    // Called on the main thread with the element and the notification name.
    using Handler = std::function<void(const AccessibilityElement& element, const QString& notification)>;

    virtual ~AccessibilityObserverFactory() = default;
    // None when the platform cannot observe that process.
    virtual std::unique_ptr<AccessibilityObserver> create(qint32 pid, Handler handler) = 0;
};

} // namespace qw
