#pragma once

#include "accessibility/adapters/PointerLocator.h"

namespace qw::test {

class SubstituteDesktop;

class SubstitutePointer final : public PointerLocator {
public:
    explicit SubstitutePointer(SubstituteDesktop& desktop) : m_d(desktop) {}
    std::optional<QPointF> pointerLocation() const override;

private:
    SubstituteDesktop& m_d;
};

} // namespace qw::test
