#include "model/AppSettings.h"

#include <QTimeZone>
#include <algorithm>

namespace qw {

const QList<int> AppSettings::allowedDebounceValues = {600, 800, 1200, 1600};

std::optional<QMap<QString, QDateTime>> SettingCodec::pauses(const QVariant& object)
{
    const std::optional<QVariantMap> stored = exactly<QVariantMap>(object);
    if (!stored)
        return std::nullopt;
    QMap<QString, QDateTime> result;
    for (auto it = stored->cbegin(); it != stored->cend(); ++it) {
        if (const std::optional<qint64> milliseconds = pauseEndMilliseconds(it.value()))
            result.insert(it.key(), QDateTime::fromMSecsSinceEpoch(*milliseconds, QTimeZone::utc()));
    }
    return result;
}

QVariant SettingCodec::encodePauses(const QMap<QString, QDateTime>& pauses)
{
    QVariantMap encoded;
    for (auto it = pauses.cbegin(); it != pauses.cend(); ++it)
        encoded.insert(it.key(), double(it.value().toMSecsSinceEpoch()) / 1000.0);
    return encoded;
}

AppSettings::AppSettings(SettingsStore& store, QStringList defaultAllowedBundleIDs, const QDateTime& now)
    : m_store(store), m_values(load(store, LoadContext{std::move(defaultAllowedBundleIDs)}, now))
{
    // The per-provider consent; before consents were kept per provider there was one, and it
    // meant OpenAI.
    const TranslationProvider provider = m_values.selectedProvider;
    const std::optional<bool> perProvider = Table::cloudConsent(rawValue(provider)).stored(store);
    const bool consent =
        perProvider ? *perProvider
                    : provider == TranslationProvider::openAI && Table::legacyCloudConsent.read(store);
    m_values.cloudConsent = consent && consentEndpointStillHolds(provider);
}

AppSettings::Values AppSettings::load(const SettingsStore& store, const LoadContext& context,
                                      const QDateTime& now)
{
    Values values;
    std::apply([&](const auto&... field) { ((values.*field.member = field.load(store, context)), ...); },
               fields());
    // A pause that has ended is dropped while loading.
    values.ignoredAppsUntil.removeIf([&now](const auto& pause) { return pause.value() <= now; });
    return values;
}

bool AppSettings::consentEndpointStillHolds(TranslationProvider provider) const
{
    const std::optional<QString> current = configuration(provider).consentEndpoint();
    const std::optional<QString> stored = Table::cloudConsentEndpoint(rawValue(provider)).stored(m_store);
    if (!stored)
        // A consent given before endpoints were recorded carries over for the built-in providers
        // only: a custom endpoint may have changed since.
        return !current || provider != TranslationProvider::custom;
    return current && *current == *stored;
}

bool AppSettings::restoredCloudConsent(TranslationProvider provider) const
{
    return Table::cloudConsent(rawValue(provider)).read(m_store) && consentEndpointStillHolds(provider);
}

QList<SettingsStore::Change> AppSettings::cloudConsentChanges(TranslationProvider provider,
                                                              bool consent) const
{
    const std::optional<QString> endpoint = configuration(provider).consentEndpoint();
    const Setting<QString> endpointRow = Table::cloudConsentEndpoint(rawValue(provider));
    return {Table::cloudConsent(rawValue(provider)).change(consent),
            consent && endpoint ? endpointRow.change(*endpoint) : endpointRow.removal()};
}

bool AppSettings::browserScopeConfirmed(const QString& bundleID) const
{
    return Table::browserScopeConfirmed(bundleID).read(m_store);
}

SettingsStore::Change AppSettings::browserScopeConfirmation(const QString& bundleID) const
{
    return Table::browserScopeConfirmed(bundleID).change(true);
}

ProviderConfiguration AppSettings::configuration(TranslationProvider provider) const
{
    const auto found = m_values.providerConfigs.find(provider);
    return found != m_values.providerConfigs.end() ? found->second
                                                   : ProviderConfiguration::defaults(provider);
}

QStringList AppSettings::storedAllowList(const QSet<QString>& bundleIDs)
{
    QStringList stored(bundleIDs.cbegin(), bundleIDs.cend());
    stored.sort();
    return stored;
}

bool AppSettings::hasEarlierSettings(const SettingsStore& store)
{
    const QString earlierKeys[] = {
        Table::selectedProvider.row.key,        Table::allowedBundleIDs.row.key,
        Table::legacyCloudConsent.key,          Table::providerConfigs.row.key,
        Table::inputTranslationEnabled.row.key, Table::legacyHelperEnabled.key,
    };
    if (std::any_of(std::begin(earlierKeys), std::end(earlierKeys),
                    [&store](const QString& key) { return store.contains(key); }))
        return true;
    // A user who gave a consent for any provider is not new, even when nothing else was
    // changed from its default.
    const QStringList keys = store.keys();
    return std::any_of(keys.cbegin(), keys.cend(),
                       [](const QString& key) { return Table::cloudConsent.owns(key); });
}

} // namespace qw
