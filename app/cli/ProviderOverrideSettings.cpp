#include "app/cli/ProviderOverrideSettings.h"

namespace qw {

bool ProviderOverrideSettings::isSelection(const QString& key)
{
    return key == u"selectedTranslationProvider";
}

std::optional<QVariant> ProviderOverrideSettings::object(const QString& key) const
{
    if (isSelection(key))
        return QVariant(rawValue(m_provider));
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
    if (!keys.contains(QStringLiteral("selectedTranslationProvider")))
        keys.append(QStringLiteral("selectedTranslationProvider"));
    return keys;
}

} // namespace qw
