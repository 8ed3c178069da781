#pragma once

#include "accessibility/adapters/Workspace.h"

namespace qw::test {

class SubstituteDesktop;

class SubstituteWorkspace final : public Workspace {
public:
    explicit SubstituteWorkspace(SubstituteDesktop& desktop) : m_d(desktop) {}

    std::optional<RunningApplication> frontmostApplication() const override;
    bool isTerminated(const RunningApplication& application) const override;
    bool pathExists(const QString& path) const override;
    QStringList applicationsOpeningHttpsUrls() const override;

private:
    SubstituteDesktop& m_d;
};

} // namespace qw::test
