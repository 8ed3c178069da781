#include "tests/support/desktop/SubstitutePointer.h"

#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

std::optional<QPointF> SubstitutePointer::pointerLocation() const
{
    std::lock_guard lock(m_d.m_mutex);
    return m_d.m_pointerLocation;
}

} // namespace qw::test
