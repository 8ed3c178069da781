#pragma once

#include "core/SettingsStore.h"

#include <QHash>

namespace qw {

// Settings that live only as long as the object: tests, and the fallback when no file can be
// used. It refuses what the settings file would refuse, so that code tested against it meets
// the same failures.
class InMemorySettingsStore final : public SettingsStore {
public:
    std::optional<QVariant> object(const QString& key) const override
    {
        auto found = m_values.constFind(key);
        if (found == m_values.cend())
            return std::nullopt;
        return found.value();
    }
    SettingsWriteResult apply(const QList<Change>& changes) override
    {
        if (!isStorable(changes))
            return SettingsWriteResult::failed(SettingsWriteResult::Failure::notStorable);
        for (const Change& change : changes) {
            if (change.value)
                m_values.insert(change.key, *change.value);
            else
                m_values.remove(change.key);
        }
        return SettingsWriteResult::ok();
    }
    QStringList keys() const override { return m_values.keys(); }

private:
    QHash<QString, QVariant> m_values;
};

} // namespace qw
