#pragma once

#include "accessibility/adapters/AccessibilityObserverFactory.h"

namespace qw {

class AtspiEventRouter;

// Observers of one process over the event router. Registration only changes what is passed
// on: the bus subscription itself is made once by the router, so nothing here can fail or
// wait. AXNotification::focusedUIElementChanged is registered on the application element,
// AXNotification::valueChanged
// on a field element.
class AtspiObserverFactory : public AccessibilityObserverFactory {
public:
    explicit AtspiObserverFactory(AtspiEventRouter& router) : m_router(router) {}

    std::unique_ptr<AccessibilityObserver> create(qint32 pid, Handler handler) override;

private:
    AtspiEventRouter& m_router;
};

} // namespace qw
