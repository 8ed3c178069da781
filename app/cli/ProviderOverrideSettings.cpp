#include "app/cli/ProviderOverrideSettings.h"

#include "model/AppSettings.h"

namespace qw {

namespace {
const Setting<TranslationProvider>& selection()
{
    return AppSettings::Table::selectedProvider.row;
}
} // namespace

bool ProviderOverrideSettings::isSelection(const QString& key)
{
    return key == selection().key;
}

std::optional<QVariant> ProviderOverrideSettings::object(const QString& key) const
{
    if (isSelection(key))
        return selection().encode(m_provider);
    return m_store.object(key);
}

SettingsWriteResult ProviderOverrideSettings::apply(const QList<Change>& changes)
{
    QList<Change> passed;
    for (const Change& change : changes) {
        if (!isSelection(change.key))
            passed.append(change);
    }
    if (passed.isEmpty())
        return SettingsWriteResult::ok();
    return m_store.apply(passed);
}

QStringList ProviderOverrideSettings::keys() const
{
    QStringList keys = m_store.keys();
    if (!keys.contains(selection().key))
        keys.append(selection().key);
    return keys;
}

} // namespace qw
