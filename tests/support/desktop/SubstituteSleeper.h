#pragma once

#include "accessibility/adapters/WorkerSleeper.h"

namespace qw::test {

class SubstituteDesktop;

class SubstituteSleeper final : public WorkerSleeper {
public:
    explicit SubstituteSleeper(SubstituteDesktop& desktop) : m_d(desktop) {}
    void sleep(std::chrono::milliseconds duration) override;

private:
    SubstituteDesktop& m_d;
};

} // namespace qw::test
