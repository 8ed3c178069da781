#pragma once

#include "accessibility/adapters/AccessibilityElement.h"
#include "accessibility/adapters/TextRange.h"

#include <QRectF>
#include <QString>
#include <optional>

namespace qw::test {

class SubstituteDesktop;

// A handle on one element of the substitute desktop: builds children, sets attributes and
// reads the element's current state back. Setters return the handle for chaining.
class DesktopElement {
public:
    DesktopElement(SubstituteDesktop* desktop, int id) : m_desktop(desktop), m_id(id) {}

    int id() const { return m_id; }
    AccessibilityElement handle() const;

    // Children. Text controls start with a caret at the end of their value.
    DesktopElement child(const QString& role) const;
    DesktopElement textField(const QString& value) const;
    DesktopElement textArea(const QString& value) const;
    DesktopElement group() const;
    DesktopElement staticText(const QString& value) const;

    DesktopElement& role(const QString& role);
    DesktopElement& subrole(const QString& subrole);
    DesktopElement& protectedContent(bool value);
    DesktopElement& editable(bool value);
    DesktopElement& value(const QString& value);
    DesktopElement& unreadableValue(); // AXAttribute::value answers with an error
    DesktopElement& selection(qsizetype location, qsizetype length);
    DesktopElement& noSelectionRange(); // AXAttribute::selectedTextRange answers with an error
    DesktopElement&
    selectedTextAttribute(const QString& text); // AXAttribute::selectedText independent of the value
    DesktopElement& bounds(const QRectF& rect);
    DesktopElement& valueSettable(bool value);
    DesktopElement& reportsPid(qint32 pid); // the element claims another process

    // Gives this element the keyboard focus of its application and brings that application to
    // the front.
    DesktopElement& focus();

    std::optional<QString> currentValue() const;
    std::optional<TextRange> currentSelection() const;

private:
    template <class F> DesktopElement& update(F change);

    SubstituteDesktop* m_desktop;
    int m_id;
};

} // namespace qw::test
