#pragma once

#include "accessibility/adapters/KeyEventPoster.h"

namespace qw::test {

class SubstituteDesktop;

class SubstituteKeyboard final : public KeyEventPoster {
public:
    explicit SubstituteKeyboard(SubstituteDesktop& desktop) : m_d(desktop) {}
    bool post(const QList<KeyEvent>& events) override;

private:
    SubstituteDesktop& m_d;
};

} // namespace qw::test
