#include "tests/support/desktop/SubstituteWorkspace.h"

#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

std::optional<RunningApplication> SubstituteWorkspace::frontmostApplication() const
{
    std::lock_guard lock(m_d.m_mutex);
    if (m_d.m_frontmost == 0)
        return std::nullopt;
    return m_d.app(m_d.m_frontmost).info;
}

bool SubstituteWorkspace::isTerminated(const RunningApplication& application) const
{
    std::lock_guard lock(m_d.m_mutex);
    return !m_d.m_apps.contains(application.pid) || m_d.app(application.pid).info.terminated;
}

bool SubstituteWorkspace::pathExists(const QString& path) const
{
    std::lock_guard lock(m_d.m_mutex);
    return m_d.m_paths.contains(path);
}

QStringList SubstituteWorkspace::applicationsOpeningHttpsUrls() const
{
    std::lock_guard lock(m_d.m_mutex);
    QStringList result;
    for (const SubstituteDesktop::AppState& app : std::as_const(m_d.m_apps)) {
        if (app.httpsHandler && app.info.bundleID)
            result.append(*app.info.bundleID);
    }
    return result;
}

} // namespace qw::test
