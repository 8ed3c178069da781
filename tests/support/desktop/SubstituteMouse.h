#pragma once

#include "accessibility/adapters/GlobalMouseMonitor.h"

namespace qw::test {

class SubstituteDesktop;

class SubstituteMouse final : public GlobalMouseMonitor {
public:
    explicit SubstituteMouse(SubstituteDesktop& desktop) : m_d(desktop) {}
    Handle add(Event event, std::function<void()> handler) override;
    void remove(Handle handle) override;

private:
    SubstituteDesktop& m_d;
};

} // namespace qw::test
