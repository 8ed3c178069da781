#include "tests/support/desktop/SubstituteAccessibility.h"

#include "accessibility/adapters/AXErrorCode.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "tests/support/desktop/DesktopHandles.h"
#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

bool SubstituteAccessibility::isProcessTrusted() const
{
    std::lock_guard lock(m_d.m_mutex);
    return m_d.m_trusted;
}

AccessibilityElement SubstituteAccessibility::applicationElement(qint32 pid)
{
    return AccessibilityElement(DesktopHandles::applicationPrefix + QString::number(pid));
}

AccessibilityElement SubstituteAccessibility::systemWideElement()
{
    return AccessibilityElement(DesktopHandles::systemWide);
}

void SubstituteAccessibility::setMessagingTimeout(const AccessibilityElement& element,
                                                  std::chrono::milliseconds timeout)
{
    std::lock_guard lock(m_d.m_mutex);
    if (auto* state = m_d.find(element))
        state->timeout = timeout;
    else if (auto pid = m_d.appPidOf(element); pid && m_d.m_apps.contains(*pid))
        m_d.app(*pid).timeout = timeout;
}

AttributeResult SubstituteAccessibility::copyAttributeValue(const AccessibilityElement& element,
                                                            const QString& attribute)
{
    if (attribute == AXAttribute::focusedUIElement)
        m_d.runFocusReadHook(element);
    QList<std::function<void()>> due;
    AttributeResult result;
    {
        std::lock_guard lock(m_d.m_mutex);
        result = read(element, attribute);
        due = m_d.countRead(attribute);
    }
    for (auto& action : due)
        action();
    return result;
}

SettableResult SubstituteAccessibility::isAttributeSettable(const AccessibilityElement& element,
                                                            const QString& attribute)
{
    std::lock_guard lock(m_d.m_mutex);
    auto* state = m_d.find(element);
    if (!state)
        return {AXErrorCode::invalidElement, false};
    if (slowAnswer(*state))
        return {AXErrorCode::cannotComplete, false};
    if (attribute == AXAttribute::value)
        return {AXErrorCode::success, state->valueSettable && state->value.has_value()};
    if (attribute == AXAttribute::selectedTextRange || attribute == AXAttribute::selectedText)
        return {AXErrorCode::success, state->selectionSettable && state->value.has_value()};
    return {AXErrorCode::success, false};
}

int SubstituteAccessibility::setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                                               const AttributeValue& value)
{
    std::lock_guard lock(m_d.m_mutex);
    if (auto pid = m_d.appPidOf(element)) {
        if (!m_d.m_apps.contains(*pid) || attribute != AXAttribute::manualAccessibility)
            return AXErrorCode::attributeUnsupported;
        SubstituteDesktop::AppState& app = m_d.app(*pid);
        ++app.wakeUpRequests;
        if (app.failingWakeUps > 0) {
            --app.failingWakeUps;
            return AXErrorCode::cannotComplete;
        }
        const bool* on = std::get_if<bool>(&value);
        if (!on)
            return AXErrorCode::illegalArgument;
        app.manualAccessibility = *on;
        return AXErrorCode::success;
    }
    auto* state = m_d.find(element);
    if (!state)
        return AXErrorCode::invalidElement;
    if (slowAnswer(*state))
        return AXErrorCode::cannotComplete;
    ++m_d.m_writes;
    m_d.m_writesByElement[state->id].append(attribute);
    if (const QString* text = std::get_if<QString>(&value))
        m_d.reportTextAccess({SubstituteDesktop::TextAccess::Kind::write, state->id, attribute, state->value,
                              state->selection, *text, state->lastValueRead, state->lastRangeRead});
    const int error = write(*state, attribute, value);
    if (error == AXErrorCode::success)
        m_d.runWriteActions(attribute);
    return error;
}

int SubstituteAccessibility::write(SubstituteDesktop::ElementState& element, const QString& attribute,
                                   const AttributeValue& value)
{
    SubstituteDesktop::ElementState* state = &element;
    if (!state->value)
        return AXErrorCode::attributeUnsupported;
    const QString current = *state->value;
    if (attribute == AXAttribute::value) {
        const QString* text = std::get_if<QString>(&value);
        if (!state->valueSettable)
            return AXErrorCode::attributeUnsupported;
        if (!text)
            return AXErrorCode::illegalArgument;
        if (m_d.m_textWriteDelay.count() > 0) {
            // Meanwhile the field cannot be read, as a busy browser does not answer.
            const int id = state->id;
            const QString late = *text;
            state->valueReadable = false;
            m_d.m_lateEffects.append(
                {m_d.m_clock.now().addMSecs(m_d.m_textWriteDelay.count()), [this, id, late] {
                     m_d.state(id).valueReadable = true;
                     m_d.applyTextWrite(m_d.state(id), late, late.size());
                 }});
            return AXErrorCode::success;
        }
        m_d.applyTextWrite(*state, *text, text->size());
        return AXErrorCode::success;
    }
    if (attribute == AXAttribute::selectedTextRange) {
        const TextRange* range = std::get_if<TextRange>(&value);
        if (!state->selectionSettable)
            return AXErrorCode::attributeUnsupported;
        if (!range || range->location < 0 || range->length < 0 || range->end() > current.size())
            return AXErrorCode::illegalArgument;
        if (m_d.m_selectionDelay.count() > 0) {
            const int id = state->id;
            const TextRange late = *range;
            m_d.m_lateEffects.append(
                {m_d.m_clock.now().addMSecs(m_d.m_selectionDelay.count()), [this, id, late] {
                     m_d.state(id).selection = late;
                 }});
            return AXErrorCode::success;
        }
        state->selection = *range;
        return AXErrorCode::success;
    }
    if (attribute == AXAttribute::selectedText) {
        const QString* text = std::get_if<QString>(&value);
        if (!state->selectionSettable)
            return AXErrorCode::attributeUnsupported;
        if (!text || !state->selection)
            return AXErrorCode::illegalArgument;
        const TextRange range = *state->selection;
        QString next = current;
        next.replace(range.location, range.length, *text);
        m_d.applyTextWrite(*state, next, range.location + text->size());
        return AXErrorCode::success;
    }
    return AXErrorCode::attributeUnsupported;
}

ProcessIdResult SubstituteAccessibility::processId(const AccessibilityElement& element)
{
    std::lock_guard lock(m_d.m_mutex);
    if (auto pid = m_d.appPidOf(element))
        return {AXErrorCode::success, *pid};
    auto* state = m_d.find(element);
    if (!state)
        return {AXErrorCode::invalidElement, 0};
    if (slowAnswer(*state))
        return {AXErrorCode::cannotComplete, 0};
    return {AXErrorCode::success, state->reportedPid.value_or(state->pid)};
}

ElementResult SubstituteAccessibility::elementAtPosition(const AccessibilityElement& systemWide,
                                                         QPointF point)
{
    std::lock_guard lock(m_d.m_mutex);
    if (systemWide.identity() != DesktopHandles::systemWide)
        return {AXErrorCode::illegalArgument, {}};
    // Later elements lie above earlier ones and children above their parents.
    int best = 0;
    for (const SubstituteDesktop::ElementState& state : std::as_const(m_d.m_elements)) {
        if (state.bounds && state.bounds->contains(point) && state.id > best)
            best = state.id;
    }
    if (best == 0)
        return {AXErrorCode::noValue, {}};
    return {AXErrorCode::success,
            AccessibilityElement(DesktopHandles::elementPrefix + QString::number(best))};
}

bool SubstituteAccessibility::slowAnswer(const SubstituteDesktop::ElementState& state)
{
    if (!m_d.m_apps.contains(state.pid) || !m_d.app(state.pid).slow)
        return false;
    m_d.m_clock.advance(state.timeout);
    return true;
}

AccessibilityElement SubstituteAccessibility::elementHandle(int id) const
{
    return AccessibilityElement(DesktopHandles::elementPrefix + QString::number(id));
}

AttributeResult SubstituteAccessibility::read(const AccessibilityElement& element, const QString& attribute)
{
    if (element.identity() == DesktopHandles::systemWide) {
        if (attribute != AXAttribute::focusedUIElement)
            return {AXErrorCode::attributeUnsupported, {}};
        if (m_d.m_systemWideFocus)
            return ok(elementHandle(*m_d.m_systemWideFocus));
        if (m_d.m_frontmost == 0)
            return none();
        return focusedOf(m_d.app(m_d.m_frontmost));
    }
    if (auto pid = m_d.appPidOf(element)) {
        if (!m_d.m_apps.contains(*pid))
            return {AXErrorCode::invalidElement, {}};
        SubstituteDesktop::AppState& app = m_d.app(*pid);
        if (app.slow) {
            m_d.m_clock.advance(app.timeout);
            return {AXErrorCode::cannotComplete, {}};
        }
        if (attribute == AXAttribute::role)
            return ok(AXRole::application);
        if (attribute == AXAttribute::focusedUIElement) {
            if (app.focusedElementError != 0)
                return {app.focusedElementError, {}};
            return focusedOf(app);
        }
        return none();
    }
    SubstituteDesktop::ElementState* state = m_d.find(element);
    if (!state)
        return {AXErrorCode::invalidElement, {}};
    if (slowAnswer(*state))
        return {AXErrorCode::cannotComplete, {}};
    if (attribute == AXAttribute::role)
        return state->role.isEmpty() ? none() : ok(state->role);
    if (attribute == AXAttribute::subrole)
        return state->subrole ? ok(*state->subrole) : none();
    if (attribute == AXAttribute::protectedContent)
        return state->protectedContent ? ok(*state->protectedContent) : none();
    if (attribute == AXAttribute::editable)
        return state->editable ? ok(*state->editable) : none();
    if (attribute == AXAttribute::value) {
        if (!state->value || !state->valueReadable)
            return none();
        state->lastValueRead = state->value;
        m_d.reportTextAccess({SubstituteDesktop::TextAccess::Kind::read, state->id, attribute, std::nullopt,
                              std::nullopt, *state->value, std::nullopt, std::nullopt});
        return ok(*state->value);
    }
    if (attribute == AXAttribute::parent)
        return ok(state->parent == 0
                      ? AccessibilityElement(DesktopHandles::applicationPrefix + QString::number(state->pid))
                      : elementHandle(state->parent));
    if (attribute == AXAttribute::position)
        return state->bounds ? ok(state->bounds->topLeft()) : none();
    if (attribute == AXAttribute::size)
        return state->bounds ? ok(state->bounds->size()) : none();
    if (attribute == AXAttribute::selectedTextRange) {
        if (!state->selection || !state->rangeReadable)
            return none();
        state->lastRangeRead = state->selection;
        return ok(*state->selection);
    }
    if (attribute == AXAttribute::selectedText) {
        m_d.reportTextAccess({SubstituteDesktop::TextAccess::Kind::read, state->id, attribute, std::nullopt,
                              std::nullopt, QString(), std::nullopt, std::nullopt});
        if (state->selectedTextAttribute)
            return ok(*state->selectedTextAttribute);
        if (!state->value || !state->selection)
            return none();
        return ok(state->value->mid(state->selection->location, state->selection->length));
    }
    return {AXErrorCode::attributeUnsupported, {}};
}

AttributeResult SubstituteAccessibility::focusedOf(const SubstituteDesktop::AppState& app)
{
    // An Electron application shows no tree until someone asks for it.
    if (app.electron && !app.manualAccessibility)
        return none();
    if (app.focused == 0)
        return none();
    return ok(elementHandle(app.focused));
}

} // namespace qw::test
