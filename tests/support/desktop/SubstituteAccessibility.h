#pragma once

#include "accessibility/adapters/AXErrorCode.h"
#include "accessibility/adapters/AccessibilityAPI.h"
#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

class SubstituteAccessibility final : public AccessibilityAPI {
public:
    explicit SubstituteAccessibility(SubstituteDesktop& desktop) : m_d(desktop) {}

    bool isProcessTrusted() const override;

    AccessibilityElement applicationElement(qint32 pid) override;
    AccessibilityElement systemWideElement() override;

    void setMessagingTimeout(const AccessibilityElement& element, std::chrono::milliseconds timeout) override;

    AttributeResult copyAttributeValue(const AccessibilityElement& element,
                                       const QString& attribute) override;

    SettableResult isAttributeSettable(const AccessibilityElement& element,
                                       const QString& attribute) override;

    int setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                          const AttributeValue& value) override;

    int write(SubstituteDesktop::ElementState& element, const QString& attribute,
              const AttributeValue& value);

    ProcessIdResult processId(const AccessibilityElement& element) override;

    ElementResult elementAtPosition(const AccessibilityElement& systemWide, QPointF point) override;

private:
    // A slow application answers only after the caller's time-out has run out.
    bool slowAnswer(const SubstituteDesktop::ElementState& state);

    static AttributeResult ok(AttributeValue value) { return {AXErrorCode::success, std::move(value)}; }
    static AttributeResult none() { return {AXErrorCode::noValue, {}}; }

    AccessibilityElement elementHandle(int id) const;

    AttributeResult read(const AccessibilityElement& element, const QString& attribute);

    AttributeResult focusedOf(const SubstituteDesktop::AppState& app);

    SubstituteDesktop& m_d;
};

} // namespace qw::test
