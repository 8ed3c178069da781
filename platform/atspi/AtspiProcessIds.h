#pragma once

#include <QHash>
#include <QString>
#include <mutex>
#include <optional>

namespace qw {

// Which process owns which connection of the accessibility bus. Unique bus names are never
// reused, so an answer stays true for the life of the bus; shared by both threads.
class AtspiProcessIds {
public:
    void remember(const QString& busName, qint32 pid);
    void forget(const QString& busName);
    // Every name at once: the bus restarted, and its names start over.
    void clear();
    std::optional<qint32> pidOf(const QString& busName) const;
    std::optional<QString> busNameOf(qint32 pid) const;

private:
    mutable std::mutex m_mutex;
    QHash<QString, qint32> m_pids;
};

} // namespace qw
