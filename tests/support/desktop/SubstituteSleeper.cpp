#include "tests/support/desktop/SubstituteSleeper.h"

#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

void SubstituteSleeper::sleep(std::chrono::milliseconds duration)
{
    std::lock_guard lock(m_d.m_mutex);
    m_d.m_clock.advance(duration);
    if (m_d.m_pasteDueAt && m_d.m_clock.now() >= *m_d.m_pasteDueAt) {
        m_d.m_pasteDueAt.reset();
        m_d.deliverPaste();
    }
    m_d.runLateEffects();
}

} // namespace qw::test
