#include "tests/support/desktop/SubstituteObserver.h"

#include "accessibility/adapters/AXErrorCode.h"
#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

SubstituteObserver::~SubstituteObserver()
{
    std::lock_guard lock(m_d.m_mutex);
    m_d.m_observers.remove(m_id);
    m_d.m_registrations.removeIf(
        [this](const SubstituteDesktop::Registration& r) { return r.observer == m_id; });
}

int SubstituteObserver::addNotification(const AccessibilityElement& element, const QString& notification)
{
    std::lock_guard lock(m_d.m_mutex);
    const qint32 pid = m_d.m_observers.value(m_id).pid;
    if (m_d.m_apps.contains(pid) && m_d.app(pid).failingNotifications.contains(notification))
        return AXErrorCode::notImplemented;
    m_d.m_registrations.append({m_id, element, notification});
    return AXErrorCode::success;
}

int SubstituteObserver::removeNotification(const AccessibilityElement& element, const QString& notification)
{
    std::lock_guard lock(m_d.m_mutex);
    const auto removed = m_d.m_registrations.removeIf([&](const SubstituteDesktop::Registration& r) {
        return r.observer == m_id && r.element == element && r.notification == notification;
    });
    return removed > 0 ? AXErrorCode::success : AXErrorCode::failure;
}

void SubstituteObserver::addToMainLoop()
{
    std::lock_guard lock(m_d.m_mutex);
    m_d.m_observers[m_id].onMainLoop = true;
}

void SubstituteObserver::removeFromMainLoop()
{
    std::lock_guard lock(m_d.m_mutex);
    m_d.m_observers[m_id].onMainLoop = false;
}

} // namespace qw::test
