#include "accessibility/AXFocusMonitor.h"

#include "accessibility/AXEngine.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"

namespace qw {

AXFocusMonitor::AXFocusMonitor(AccessibilityAPI& accessibility, AccessibilityObserverFactory& observers,
                               TimerSource& timers)
    : m_accessibility(accessibility), m_observers(observers), m_timers(timers),
      m_status(L10n::text(L10N_KEY("等待前台应用")))
{
}

AXFocusMonitor::~AXFocusMonitor()
{
    stop();
}

void AXFocusMonitor::watch(const std::optional<RunningApplication>& application, bool allowed)
{
    if (!application || !allowed) {
        stop();
        return;
    }
    if (application->pid == m_trackedPID)
        return;
    stop();
    m_trackedPID = application->pid;
    auto context = std::make_shared<AXFocusMonitor*>(this);
    std::weak_ptr<AXFocusMonitor*> weak = context;
    m_observer = m_observers.create(m_trackedPID, [weak](const AccessibilityElement&, const QString&) {
        if (auto alive = weak.lock())
            (*alive)->handleNotification();
    });
    if (!m_observer) {
        m_trackedPID = 0;
        m_status = L10n::text(L10N_KEY("不支持辅助功能事件；使用定时检测"));
        return;
    }
    m_callbackContext = context;
    m_applicationElement = m_accessibility.applicationElement(m_trackedPID);
    m_accessibility.setMessagingTimeout(*m_applicationElement, AXEngine::elementTimeout);
    const int error =
        m_observer->addNotification(*m_applicationElement, AXNotification::focusedUIElementChanged);
    m_focusEvents = error == AXErrorCode::success;
    m_observer->addToMainLoop();
    m_status = error != AXErrorCode::success ? L10n::text(L10N_KEY("应用未提供焦点事件，使用定时检测"))
                                             : L10n::text(L10N_KEY("焦点事件监听中（定时检测兜底）"));
}

void AXFocusMonitor::watch(const std::optional<FocusedField>& field)
{
    m_changed = true;
    if (!m_observer)
        return;
    if (m_fieldElement) {
        m_observer->removeNotification(*m_fieldElement, AXNotification::valueChanged);
        m_fieldElement.reset();
        m_valueEvents = false;
    }
    if (!field || field->pid != m_trackedPID)
        return;
    m_fieldElement = field->element;
    m_valueEvents =
        m_observer->addNotification(*m_fieldElement, AXNotification::valueChanged) == AXErrorCode::success;
    if (!m_valueEvents)
        m_status = L10n::text(L10N_KEY("文本变化事件不可用；定时检测仍在运行"));
}

void AXFocusMonitor::stop()
{
    if (m_observer) {
        if (m_fieldElement)
            m_observer->removeNotification(*m_fieldElement, AXNotification::valueChanged);
        if (m_applicationElement)
            m_observer->removeNotification(*m_applicationElement, AXNotification::focusedUIElementChanged);
        m_observer->removeFromMainLoop();
    }
    m_observer.reset();
    m_applicationElement.reset();
    m_fieldElement.reset();
    m_callbackContext.reset();
    m_trackedPID = 0;
    m_focusEvents = false;
    m_valueEvents = false;
    m_changed = true;
    m_status = L10n::text(L10N_KEY("等待前台应用"));
}

bool AXFocusMonitor::takeQuiet()
{
    const bool quiet = m_focusEvents && m_valueEvents && !m_changed;
    m_changed = false;
    return quiet;
}

void AXFocusMonitor::handleNotification()
{
    m_changed = true;
    // Deferred so that the controller never re-reads the focus from inside the platform's
    // notification delivery.
    std::weak_ptr<AXFocusMonitor*> weak = m_callbackContext;
    m_timers.start(std::chrono::milliseconds(0), [weak]() {
        if (auto alive = weak.lock()) {
            if ((*alive)->m_onUpdate)
                (*alive)->m_onUpdate();
        }
    });
}

} // namespace qw
