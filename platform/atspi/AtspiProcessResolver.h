#pragma once

#include <QString>
#include <optional>

namespace qw {

class AtspiProcessIds;
class AtspiRequest;

// Finds the bus name of a process and the process behind a bus name: from the table of those
// already known, else by asking the registry and the session bus, and remembers what it learnt.
class AtspiProcessResolver {
public:
    explicit AtspiProcessResolver(AtspiProcessIds& pids) : m_pids(pids) {}

    std::optional<QString> busNameOf(AtspiRequest& request, qint32 pid);
    std::optional<qint32> pidOf(AtspiRequest& request, const QString& busName);

private:
    AtspiProcessIds& m_pids;
};

} // namespace qw
