#include "tests/support/desktop/DesktopElement.h"

#include "accessibility/adapters/AXVocabulary.h"
#include "tests/support/desktop/DesktopHandles.h"
#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

AccessibilityElement DesktopElement::handle() const
{
    return AccessibilityElement(DesktopHandles::elementPrefix + QString::number(m_id));
}

DesktopElement DesktopElement::child(const QString& role) const
{
    std::lock_guard lock(m_desktop->m_mutex);
    const qint32 pid = m_desktop->state(m_id).pid;
    return DesktopElement(m_desktop, m_desktop->addElement(m_id, pid, role));
}

DesktopElement DesktopElement::textField(const QString& value) const
{
    DesktopElement field = child(AXRole::textField);
    field.value(value).selection(value.size(), 0).editable(true);
    return field;
}

DesktopElement DesktopElement::textArea(const QString& value) const
{
    DesktopElement area = child(AXRole::textArea);
    area.value(value).selection(value.size(), 0);
    return area;
}

DesktopElement DesktopElement::group() const
{
    return child(AXRole::group);
}

DesktopElement DesktopElement::staticText(const QString& value) const
{
    DesktopElement text = child(AXRole::staticText);
    text.value(value).valueSettable(false).update([](auto& s) { s.selectionSettable = false; });
    return text;
}

template <class F> DesktopElement& DesktopElement::update(F change)
{
    std::lock_guard lock(m_desktop->m_mutex);
    change(m_desktop->state(m_id));
    return *this;
}

DesktopElement& DesktopElement::role(const QString& role)
{
    return update([&](auto& s) { s.role = role; });
}
DesktopElement& DesktopElement::subrole(const QString& subrole)
{
    return update([&](auto& s) { s.subrole = subrole; });
}
DesktopElement& DesktopElement::protectedContent(bool value)
{
    return update([&](auto& s) { s.protectedContent = value; });
}
DesktopElement& DesktopElement::editable(bool value)
{
    return update([&](auto& s) { s.editable = value; });
}
DesktopElement& DesktopElement::value(const QString& value)
{
    return update([&](auto& s) { s.value = value; });
}
DesktopElement& DesktopElement::unreadableValue()
{
    return update([&](auto& s) { s.valueReadable = false; });
}
DesktopElement& DesktopElement::selection(qsizetype location, qsizetype length)
{
    return update([&](auto& s) { s.selection = TextRange{location, length}; });
}
DesktopElement& DesktopElement::noSelectionRange()
{
    return update([&](auto& s) { s.rangeReadable = false; });
}
DesktopElement& DesktopElement::selectedTextAttribute(const QString& text)
{
    return update([&](auto& s) { s.selectedTextAttribute = text; });
}
DesktopElement& DesktopElement::bounds(const QRectF& rect)
{
    return update([&](auto& s) { s.bounds = rect; });
}
DesktopElement& DesktopElement::valueSettable(bool value)
{
    return update([&](auto& s) { s.valueSettable = value; });
}
DesktopElement& DesktopElement::reportsPid(qint32 pid)
{
    return update([&](auto& s) { s.reportedPid = pid; });
}
DesktopElement& DesktopElement::focus()
{
    return update([&](auto& s) {
        m_desktop->app(s.pid).focused = m_id;
        m_desktop->m_frontmost = s.pid;
    });
}

std::optional<QString> DesktopElement::currentValue() const
{
    std::lock_guard lock(m_desktop->m_mutex);
    return m_desktop->state(m_id).value;
}

std::optional<TextRange> DesktopElement::currentSelection() const
{
    std::lock_guard lock(m_desktop->m_mutex);
    return m_desktop->state(m_id).selection;
}

} // namespace qw::test
