#include "tests/support/desktop/SubstituteMouse.h"

#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

GlobalMouseMonitor::Handle SubstituteMouse::add(Event event, std::function<void()> handler)
{
    std::lock_guard lock(m_d.m_mutex);
    const Handle handle = m_d.m_nextMonitor++;
    m_d.m_mouseMonitors.insert(handle, {event, std::move(handler)});
    return handle;
}

void SubstituteMouse::remove(Handle handle)
{
    std::lock_guard lock(m_d.m_mutex);
    m_d.m_mouseMonitors.remove(handle);
}

} // namespace qw::test
