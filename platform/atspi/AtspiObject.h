#pragma once

#include <QString>

namespace qw {

// One object on the accessibility bus: the bus name of its application and its object path.
struct AtspiObject {
    QString busName;
    QString path;

    QString key() const { return busName + path; }
};

} // namespace qw
