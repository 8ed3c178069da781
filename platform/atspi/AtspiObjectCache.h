#pragma once

#include "platform/atspi/AtspiObject.h"
#include "platform/atspi/TextOffsets.h"

#include <QHash>
#include <QRect>
#include <QStringList>
#include <chrono>
#include <mutex>
#include <optional>
#include <utility>

namespace qw {

class AtspiRequest;

// What the backend remembers about objects and applications between calls, read through a
// request when it is not known (or no longer fresh). Shared by the worker's calls; each table
// is touched only under the lock and never while a call waits.
class AtspiObjectCache {
public:
    // Role and states as read moments ago: the engine asks for role, subrole, protection and
    // editability of one element in a row. Before text is read or written the role must be
    // fresher still (a GTK entry becomes a password field when its text is hidden): read within
    // the same pass of the worker, a few milliseconds ago, while the text it guards was on
    // screen anyway.
    struct Description {
        quint32 role = 0;
        quint64 states = 0;
        std::chrono::steady_clock::time_point readAt;
    };
    static constexpr std::chrono::milliseconds descriptionLifetime{50};
    static constexpr std::chrono::milliseconds freshRoleLifetime{10};

    std::optional<Description> describe(AtspiRequest& request, const AtspiObject& object,
                                        bool refresh = false);
    // The role read afresh (or within freshRoleLifetime); a remembered description with another
    // role is forgotten.
    std::optional<quint32> freshRole(AtspiRequest& request, const AtspiObject& object);
    std::optional<QRect> extentsOf(AtspiRequest& request, const AtspiObject& object);
    // An object's interfaces never change.
    std::optional<QStringList> interfacesOf(AtspiRequest& request, const AtspiObject& object);
    // How the application behind `busName` counts text offsets.
    OffsetUnit unitOf(AtspiRequest& request, const QString& busName);
    // Forgets everything: the bus restarted, and its names now belong to other programs.
    void clear();

private:
    std::mutex m_mutex;
    QHash<QString, OffsetUnit> m_units; // by bus name
    QHash<QString, Description> m_descriptions;
    QHash<QString, QStringList> m_interfaces;
    QHash<QString, std::pair<QRect, std::chrono::steady_clock::time_point>> m_extents;
};

} // namespace qw
