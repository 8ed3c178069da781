#include "platform/atspi/AtspiProcessIds.h"

namespace qw {

void AtspiProcessIds::remember(const QString& busName, qint32 pid)
{
    std::lock_guard lock(m_mutex);
    m_pids.insert(busName, pid);
}

void AtspiProcessIds::forget(const QString& busName)
{
    std::lock_guard lock(m_mutex);
    m_pids.remove(busName);
}

void AtspiProcessIds::clear()
{
    std::lock_guard lock(m_mutex);
    m_pids.clear();
}

std::optional<qint32> AtspiProcessIds::pidOf(const QString& busName) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_pids.constFind(busName);
    if (it == m_pids.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QString> AtspiProcessIds::busNameOf(qint32 pid) const
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_pids.constBegin(); it != m_pids.constEnd(); ++it) {
        if (it.value() == pid)
            return it.key();
    }
    return std::nullopt;
}

} // namespace qw
