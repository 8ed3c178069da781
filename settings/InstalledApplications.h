#pragma once

#include <QList>
#include <QString>

namespace qw {

// An application the user can launch from the desktop's menus.
struct InstalledApplication {
    QString id;       // desktop-entry id without ".desktop"
    QString name;     // localized display name
    QString iconName; // icon theme name or absolute path; may be empty

    friend bool operator==(const InstalledApplication&, const InstalledApplication&) = default;
};

// The installed applications the user can choose from, sorted by name.
class InstalledApplications {
public:
    virtual ~InstalledApplications() = default;
    virtual QList<InstalledApplication> list() const = 0;
};

} // namespace qw
