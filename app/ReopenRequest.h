#pragma once

#include <QString>

namespace qw {

// What a second start of the program asks the running one to show: nothing in particular (the
// running program decides, as when its icon is activated), the guide, or the settings window
// at a page. Carried over the session bus as two strings, so that every command can send one.
struct ReopenRequest {
    enum class Target { nothing, guide, settings };

    Target target = Target::nothing;
    // The settings page's name; empty leaves the window at the page it shows.
    QString section;

    bool operator==(const ReopenRequest&) const = default;

    QString targetName() const;
    // An unknown target from another version reopens without a target rather than failing.
    static ReopenRequest fromNames(const QString& target, const QString& section);
};

} // namespace qw
