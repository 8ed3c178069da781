#pragma once

#include "core/SettingsStore.h"
#include "engine/TranslationProvider.h"

namespace qw {

// The stored settings with another provider selected for one command: every read and write
// goes through to the real store except the selection itself, which reads as the chosen
// provider and is never written. `key set --provider deepseek` thus works on DeepSeek's key
// and consent through the model's own rules without changing what the tray program uses.
class ProviderOverrideSettings : public SettingsStore {
public:
    ProviderOverrideSettings(SettingsStore& store, TranslationProvider provider)
        : m_store(store), m_provider(provider)
    {
    }

    std::optional<QVariant> object(const QString& key) const override;
    SettingsWriteResult apply(const QList<Change>& changes) override;
    QStringList keys() const override;

private:
    static bool isSelection(const QString& key);

    SettingsStore& m_store;
    TranslationProvider m_provider;
};

} // namespace qw
