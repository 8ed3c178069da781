#include "platform/LinuxDesktop.h"

namespace qw {

LinuxDesktop::LinuxDesktop()
    : m_workspace(m_entries), m_router(m_bus, m_focus, m_pids),
      m_accessibility(m_bus, m_focus, m_pids, [this] { return m_workspace.frontmostPid(); }),
      m_observers(m_router),
      m_keys(m_clock, [this](std::chrono::milliseconds duration) { m_sleeper.sleep(duration); })
{
    QObject::connect(&m_bus, &AtspiBus::lost, &m_bus, [this] { m_accessibility.forgetBus(); });
    m_bus.start();
}

AXPlatform LinuxDesktop::platform()
{
    return AXPlatform{m_accessibility, m_workspace, m_pointer, m_clipboard, m_keys, m_sleeper, m_clock};
}

} // namespace qw
