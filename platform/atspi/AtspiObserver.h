#pragma once

#include "accessibility/adapters/AccessibilityObserver.h"
#include "accessibility/adapters/AccessibilityObserverFactory.h"
#include "platform/atspi/AtspiEventRouter.h"

#include <QSet>
#include <memory>

namespace qw {

class AtspiObserver : public AccessibilityObserver {
public:
    AtspiObserver(AtspiEventRouter& router, qint32 pid, AccessibilityObserverFactory::Handler handler);
    ~AtspiObserver() override;
    AtspiObserver(const AtspiObserver&) = delete;
    AtspiObserver& operator=(const AtspiObserver&) = delete;

    int addNotification(const AccessibilityElement& element, const QString& notification) override;
    int removeNotification(const AccessibilityElement& element, const QString& notification) override;
    void addToMainLoop() override;
    void removeFromMainLoop() override;

private:
    void handle(qint32 pid, const AtspiEventRouter::Event& event);

    AtspiEventRouter& m_router;
    qint32 m_pid;
    AccessibilityObserverFactory::Handler m_handler;
    QSet<QString> m_registrations; // "notification@identity"
    int m_listener = 0;
};

} // namespace qw
