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

void ProviderOverrideSettings::setObject(const QString& key, const QVariant& value)
{
    if (!isSelection(key))
        m_store.setObject(key, value);
}

void ProviderOverrideSettings::remove(const QString& key)
{
    if (!isSelection(key))
        m_store.remove(key);
}

QStringList ProviderOverrideSettings::keys() const
{
    QStringList keys = m_store.keys();
    if (!keys.contains(QStringLiteral("selectedTranslationProvider")))
        keys.append(QStringLiteral("selectedTranslationProvider"));
    return keys;
}

} // namespace qw
