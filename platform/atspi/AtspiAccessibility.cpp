#include "platform/atspi/AtspiAccessibility.h"

#include "accessibility/adapters/AXVocabulary.h"
#include "platform/atspi/AtspiBus.h"
#include "platform/atspi/AtspiElementRef.h"
#include "platform/atspi/AtspiRequest.h"

namespace qw {

AtspiAccessibility::AtspiAccessibility(AtspiBus& bus, AtspiFocusTracker& focus, AtspiProcessIds& pids,
                                       FrontmostPid frontmost)
    : m_bus(bus), m_processes(pids), m_reader(m_cache), m_writer(m_cache),
      m_search(focus, m_processes, m_cache, std::move(frontmost))
{
}

bool AtspiAccessibility::isProcessTrusted() const
{
    return m_bus.isReady() && m_bus.isEnabled();
}

AccessibilityElement AtspiAccessibility::applicationElement(qint32 pid)
{
    return AtspiElementRef::application(pid);
}

AccessibilityElement AtspiAccessibility::systemWideElement()
{
    return AtspiElementRef::systemWide();
}

void AtspiAccessibility::setMessagingTimeout(const AccessibilityElement& element,
                                             std::chrono::milliseconds timeout)
{
    std::lock_guard lock(m_mutex);
    // Handles come and go with every read; the table only has to remember recent ones.
    if (m_timeouts.size() > 4096)
        m_timeouts.clear();
    m_timeouts.insert(element.identity(), timeout);
}

std::chrono::milliseconds AtspiAccessibility::timeoutOf(const AccessibilityElement& element) const
{
    std::lock_guard lock(m_mutex);
    return m_timeouts.value(element.identity(), defaultTimeout);
}

std::optional<AtspiRequest> AtspiAccessibility::requestFor(const AccessibilityElement& element) const
{
    const auto connection = m_bus.connection();
    if (!connection)
        return std::nullopt;
    return AtspiRequest(*connection, timeoutOf(element));
}

AttributeResult AtspiAccessibility::copyAttributeValue(const AccessibilityElement& element,
                                                       const QString& attribute)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref)
        return {AXErrorCode::invalidElement, {}};
    auto request = requestFor(element);
    if (!request)
        return {AXErrorCode::apiDisabled, {}};
    switch (ref->kind) {
    case AtspiElementRef::Kind::systemWide:
        if (attribute == AXAttribute::focusedUIElement)
            return m_search.systemWideFocus(*request);
        if (attribute == AXAttribute::role)
            return {AXErrorCode::success, AXRole::systemWide};
        return {AXErrorCode::attributeUnsupported, {}};
    case AtspiElementRef::Kind::application:
        if (attribute == AXAttribute::focusedUIElement)
            return m_search.focusedObject(*request, ref->pid);
        if (attribute == AXAttribute::role)
            return {AXErrorCode::success, AXRole::application};
        return {AXErrorCode::attributeUnsupported, {}};
    case AtspiElementRef::Kind::object:
        return m_reader.read(*request, {ref->busName, ref->path}, attribute);
    }
    return {AXErrorCode::failure, {}};
}

AccessibilityAPI::TextState AtspiAccessibility::copyTextState(const AccessibilityElement& element)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref || ref->kind != AtspiElementRef::Kind::object)
        return AccessibilityAPI::copyTextState(element);
    auto request = requestFor(element);
    if (!request)
        return {};
    return m_reader.readTextState(*request, {ref->busName, ref->path});
}

SettableResult AtspiAccessibility::isAttributeSettable(const AccessibilityElement& element,
                                                       const QString& attribute)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref)
        return {AXErrorCode::invalidElement, false};
    if (ref->kind == AtspiElementRef::Kind::application)
        return {AXErrorCode::success, attribute == AXAttribute::manualAccessibility};
    if (ref->kind != AtspiElementRef::Kind::object)
        return {AXErrorCode::success, false};
    auto request = requestFor(element);
    if (!request)
        return {AXErrorCode::apiDisabled, false};
    return m_writer.isSettable(*request, {ref->busName, ref->path}, attribute);
}

int AtspiAccessibility::setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                                          const AttributeValue& value)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref)
        return AXErrorCode::invalidElement;
    if (ref->kind == AtspiElementRef::Kind::application && attribute == AXAttribute::manualAccessibility) {
        // Chromium and Electron programs build their tree once a screen reader is said to run.
        const bool* on = std::get_if<bool>(&value);
        if (!on || !*on)
            return AXErrorCode::illegalArgument;
        return m_bus.enableScreenReaderBlocking(timeoutOf(element)) ? AXErrorCode::success
                                                                    : AXErrorCode::cannotComplete;
    }
    if (ref->kind != AtspiElementRef::Kind::object)
        return AXErrorCode::attributeUnsupported;
    auto request = requestFor(element);
    if (!request)
        return AXErrorCode::apiDisabled;
    return m_writer.write(*request, {ref->busName, ref->path}, attribute, value);
}

ProcessIdResult AtspiAccessibility::processId(const AccessibilityElement& element)
{
    const auto ref = AtspiElementRef::parse(element);
    if (!ref || ref->kind == AtspiElementRef::Kind::systemWide)
        return {AXErrorCode::illegalArgument, 0};
    if (ref->kind == AtspiElementRef::Kind::application)
        return {AXErrorCode::success, ref->pid};
    auto request = requestFor(element);
    if (!request)
        return {AXErrorCode::apiDisabled, 0};
    const auto pid = m_processes.pidOf(*request, ref->busName);
    if (!pid)
        return {request->error(), 0};
    return {AXErrorCode::success, *pid};
}

ElementResult AtspiAccessibility::elementAtPosition(const AccessibilityElement& systemWide, QPointF point)
{
    auto request = requestFor(systemWide);
    if (!request)
        return {AXErrorCode::apiDisabled, {}};
    return m_search.elementAt(*request, point);
}

} // namespace qw
