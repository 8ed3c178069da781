#pragma once

#include "settings/InstalledApplications.h"

namespace qw {

class DesktopEntryIndex;

// The applications of the desktop's menus, from the installed desktop entries: those shown in
// menus (not Hidden, not NoDisplay) that open a window of their own (not Terminal), named in
// the interface language, sorted by that name. This program itself is not offered.
class DesktopApplications final : public InstalledApplications {
public:
    explicit DesktopApplications(const DesktopEntryIndex& index);

    QList<InstalledApplication> list() const override;

private:
    const DesktopEntryIndex& m_index;
};

} // namespace qw
