#pragma once

#include "core/SettingsStore.h"

#include <QHash>

namespace qw {

// Settings that live only as long as the object: tests, and the fallback when no file can be
// used.
class InMemorySettingsStore final : public SettingsStore {
public:
    std::optional<QVariant> object(const QString& key) const override
    {
        auto found = m_values.constFind(key);
        if (found == m_values.cend())
            return std::nullopt;
        return found.value();
    }
    void setObject(const QString& key, const QVariant& value) override
    {
        Q_ASSERT(isStorable(value));
        m_values.insert(key, value);
    }
    void remove(const QString& key) override { m_values.remove(key); }
    QStringList keys() const override { return m_values.keys(); }

private:
    QHash<QString, QVariant> m_values;
};

} // namespace qw
