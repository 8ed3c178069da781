#include "platform/atspi/AtspiObserver.h"

#include "accessibility/adapters/AXErrorCode.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiObserverFactory.h"

namespace qw {

namespace {
QString key(const QString& notification, const AccessibilityElement& element)
{
    return notification + u'@' + element.identity();
}
} // namespace

std::unique_ptr<AccessibilityObserver> AtspiObserverFactory::create(qint32 pid, Handler handler)
{
    if (pid <= 0 || !handler)
        return nullptr;
    return std::make_unique<AtspiObserver>(m_router, pid, std::move(handler));
}

AtspiObserver::AtspiObserver(AtspiEventRouter& router, qint32 pid,
                             AccessibilityObserverFactory::Handler handler)
    : m_router(router), m_pid(pid), m_handler(std::move(handler))
{
}

AtspiObserver::~AtspiObserver()
{
    removeFromMainLoop();
}

int AtspiObserver::addNotification(const AccessibilityElement& element, const QString& notification)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref)
        return AXErrorCode::invalidElement;
    const bool supported =
        (notification == AXNotification::focusedUIElementChanged &&
         ref->kind == AtspiElementRef::Kind::application && ref->pid == m_pid) ||
        (notification == AXNotification::valueChanged && ref->kind == AtspiElementRef::Kind::object);
    if (!supported)
        return AXErrorCode::notImplemented;
    m_registrations.insert(key(notification, element));
    return AXErrorCode::success;
}

int AtspiObserver::removeNotification(const AccessibilityElement& element, const QString& notification)
{
    return m_registrations.remove(key(notification, element)) ? AXErrorCode::success : AXErrorCode::noValue;
}

void AtspiObserver::addToMainLoop()
{
    if (m_listener != 0)
        return;
    m_listener = m_router.addListener(
        [this](qint32 pid, const AtspiEventRouter::Event& event) { handle(pid, event); });
}

void AtspiObserver::removeFromMainLoop()
{
    if (m_listener == 0)
        return;
    m_router.removeListener(m_listener);
    m_listener = 0;
}

void AtspiObserver::handle(qint32 pid, const AtspiEventRouter::Event& event)
{
    if (pid != m_pid)
        return;
    const AccessibilityElement element = AtspiElementRef::object(event.busName, event.path);
    if (event.kind == AtspiEventRouter::Kind::focus) {
        if (m_registrations.contains(
                key(AXNotification::focusedUIElementChanged, AtspiElementRef::application(m_pid))))
            m_handler(element, AXNotification::focusedUIElementChanged);
    } else if (m_registrations.contains(key(AXNotification::valueChanged, element))) {
        m_handler(element, AXNotification::valueChanged);
    }
}

} // namespace qw
