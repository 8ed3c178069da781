#pragma once

#include "accessibility/adapters/AccessibilityObserver.h"

namespace qw::test {

class SubstituteDesktop;

class SubstituteObserver final : public AccessibilityObserver {
public:
    SubstituteObserver(SubstituteDesktop& desktop, int id) : m_d(desktop), m_id(id) {}
    ~SubstituteObserver() override;

    int addNotification(const AccessibilityElement& element, const QString& notification) override;
    int removeNotification(const AccessibilityElement& element, const QString& notification) override;
    void addToMainLoop() override;
    void removeFromMainLoop() override;

private:
    SubstituteDesktop& m_d;
    int m_id;
};

} // namespace qw::test
