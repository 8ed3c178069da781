#pragma once

#include <QString>
#include <optional>

namespace qw {

// What the bridge knows about a running application, as read at one moment. Whether it has
// terminated since is asked of the Workspace.
struct RunningApplication {
    qint32 pid = 0;
    std::optional<QString> bundleID; // desktop-file id on Linux
    std::optional<QString> localizedName;
    std::optional<QString> bundleLocation; // installation directory, when known
    bool terminated = false;

    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

} // namespace qw
