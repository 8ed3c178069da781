#pragma once

#include "accessibility/adapters/AccessibilityElement.h"

#include <QString>

namespace qw {

// Notifications of one process (AXNotification::focusedUIElementChanged and valueChanged). Used on the
// main thread only; none of these calls may block: a backend that has to ask another process
// does so asynchronously and reports only the errors it knows at once.
class AccessibilityObserver {
public:
    virtual ~AccessibilityObserver() = default;

    virtual int addNotification(const AccessibilityElement& element, const QString& notification) = 0;
    virtual int removeNotification(const AccessibilityElement& element, const QString& notification) = 0;
    // Starts and stops delivery on the main event loop.
    virtual void addToMainLoop() = 0;
    virtual void removeFromMainLoop() = 0;
};

} // namespace qw
