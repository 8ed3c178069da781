#include "tests/support/desktop/SubstituteObserverFactory.h"

#include "tests/support/desktop/SubstituteDesktop.h"
#include "tests/support/desktop/SubstituteObserver.h"

namespace qw::test {

std::unique_ptr<AccessibilityObserver> SubstituteObserverFactory::create(qint32 pid, Handler handler)
{
    std::lock_guard lock(m_d.m_mutex);
    if (!m_d.m_apps.contains(pid) || m_d.app(pid).refusesObservers)
        return nullptr;
    const int id = m_d.m_nextObserver++;
    ++m_d.m_observersCreated;
    m_d.m_observers.insert(id, SubstituteDesktop::ObserverState{pid, std::move(handler), false});
    return std::make_unique<SubstituteObserver>(m_d, id);
}

} // namespace qw::test
