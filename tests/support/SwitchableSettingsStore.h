#pragma once

#include "core/InMemorySettingsStore.h"

namespace qw::test {

// Settings as a file that may stop taking writes: while `refuses` holds, every write fails and
// changes nothing, as when the settings folder cannot be written.
class SwitchableSettingsStore final : public SettingsStore {
public:
    std::optional<QVariant> object(const QString& key) const override { return m_store.object(key); }
    SettingsWriteResult apply(const QList<Change>& changes) override
    {
        return refuses ? SettingsWriteResult::failed(SettingsWriteResult::Failure::writeFailed)
                       : m_store.apply(changes);
    }
    QStringList keys() const override { return m_store.keys(); }
    bool refuses = false;

private:
    InMemorySettingsStore m_store;
};

} // namespace qw::test
