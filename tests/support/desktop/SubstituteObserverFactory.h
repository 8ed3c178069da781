#pragma once

#include "accessibility/adapters/AccessibilityObserverFactory.h"

namespace qw::test {

class SubstituteDesktop;

class SubstituteObserverFactory final : public AccessibilityObserverFactory {
public:
    explicit SubstituteObserverFactory(SubstituteDesktop& desktop) : m_d(desktop) {}
    std::unique_ptr<AccessibilityObserver> create(qint32 pid, Handler handler) override;

private:
    SubstituteDesktop& m_d;
};

} // namespace qw::test
