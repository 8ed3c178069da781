#include "model/PersistedSettings.h"

#include "core/SettingsStore.h"

#include <QTimeZone>
#include <cmath>

namespace qw {

const QList<int> PersistedSettings::allowedDebounceValues = {600, 800, 1200, 1600};

namespace {

std::optional<TranslationLanguage> storedLanguage(const SettingsStore& defaults, const QString& key)
{
    const auto raw = defaults.string(key);
    return raw ? translationLanguageFromRawValue(*raw) : std::nullopt;
}

// The latest end of a pause the file may hold: 9999-12-31 23:59:59 UTC, the last second a
// date is written with four digits. Far beyond any midnight, and small enough that its
// milliseconds fit a 64-bit integer exactly.
constexpr double kLatestPauseEndSeconds = 253402300799.0;

// The milliseconds since 1970 of a pause end stored in seconds, or none when the stored
// object is not a number a pause can end at. Checked before any conversion: a double outside
// the 64-bit range has no integer value at all.
std::optional<qint64> pauseEndMilliseconds(const QVariant& stored)
{
    switch (stored.typeId()) {
    case QMetaType::Double:
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
        break;
    default:
        return std::nullopt;
    }
    const double seconds = stored.toDouble();
    if (!std::isfinite(seconds) || seconds < 0 || seconds > kLatestPauseEndSeconds)
        return std::nullopt;
    return std::llround(seconds * 1000.0);
}

QMap<QString, QDateTime> loadIgnoredApps(const SettingsStore& defaults, const QDateTime& now)
{
    QMap<QString, QDateTime> result;
    const QVariantMap stored =
        defaults.dictionary(QStringLiteral("ignoredAppsUntil")).value_or(QVariantMap());
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        const std::optional<qint64> milliseconds = pauseEndMilliseconds(it.value());
        if (!milliseconds)
            continue;
        const QDateTime until = QDateTime::fromMSecsSinceEpoch(*milliseconds, QTimeZone::utc());
        if (until > now)
            result.insert(it.key(), until);
    }
    return result;
}

} // namespace

bool PersistedSettings::consentEndpointStillHolds(const SettingsStore& defaults, TranslationProvider provider,
                                                  const ProviderConfigurations& configurations)
{
    const std::optional<QString> current = configuration(configurations, provider).consentEndpoint();
    const std::optional<QString> stored = defaults.string(SettingsKeys::cloudConsentEndpoint(provider));
    if (!stored)
        // A consent given before endpoints were recorded carries over for the built-in providers
        // only: a custom endpoint may have changed since.
        return !current || provider != TranslationProvider::custom;
    return current && *current == *stored;
}

ProviderConfiguration PersistedSettings::configuration(const ProviderConfigurations& configurations,
                                                       TranslationProvider provider)
{
    const auto found = configurations.find(provider);
    return found != configurations.end() ? found->second : ProviderConfiguration::defaults(provider);
}

QVariantMap PersistedSettings::encodeIgnoredApps(const QMap<QString, QDateTime>& ignoredAppsUntil)
{
    QVariantMap encoded;
    for (auto it = ignoredAppsUntil.cbegin(); it != ignoredAppsUntil.cend(); ++it)
        encoded.insert(it.key(), double(it.value().toMSecsSinceEpoch()) / 1000.0);
    return encoded;
}

bool PersistedSettings::restoredCloudConsent(const SettingsStore& defaults, TranslationProvider provider,
                                             const ProviderConfigurations& configurations)
{
    return defaults.boolValue(SettingsKeys::cloudConsent(provider)).value_or(false) &&
           consentEndpointStillHolds(defaults, provider, configurations);
}

PersistedSettings PersistedSettings::load(const SettingsStore& defaults,
                                          const QStringList& defaultAllowedBundleIDs, const QDateTime& now)
{
    PersistedSettings s;
    s.interfaceLanguage =
        interfaceLanguageFromRaw(defaults.string(QStringLiteral("interfaceLanguage")).value_or(QString()));
    s.appActionHotkeysEnabled = defaults.boolValue(QStringLiteral("appActionHotkeysEnabled")).value_or(true);
    s.ignoredAppsUntil = loadIgnoredApps(defaults, now);

    const auto providerRaw = defaults.string(QStringLiteral("selectedTranslationProvider"));
    s.selectedProvider =
        providerRaw ? translationProviderFromRawValue(*providerRaw).value_or(TranslationProvider::openAI)
                    : TranslationProvider::openAI;

    const TranslationLanguage legacySource =
        storedLanguage(defaults, QStringLiteral("sourceLanguage")).value_or(TranslationLanguage::chinese);
    const TranslationLanguage legacyTarget =
        storedLanguage(defaults, QStringLiteral("targetLanguage")).value_or(TranslationLanguage::english);

    s.inputTranslationEnabled =
        defaults.boolValue(QStringLiteral("inputTranslationEnabled"))
            .value_or(defaults.boolValue(QStringLiteral("helperEnabled")).value_or(true));
    s.pageTranslationEnabled =
        defaults.boolValue(QStringLiteral("pageTranslationEnabled"))
            .value_or(defaults.boolValue(QStringLiteral("selectionTranslationEnabled")).value_or(false));

    // Typing happens in the legacy source language and is sent in the legacy target; reading
    // goes the other way round.
    s.inputSourceLanguage =
        storedLanguage(defaults, QStringLiteral("inputSourceLanguage")).value_or(legacySource);
    s.inputTargetLanguage =
        storedLanguage(defaults, QStringLiteral("inputTargetLanguage"))
            .value_or(legacyTarget == TranslationLanguage::automatic ? TranslationLanguage::english
                                                                     : legacyTarget);
    s.pageSourceLanguage =
        storedLanguage(defaults, QStringLiteral("pageSourceLanguage")).value_or(legacyTarget);
    s.pageTargetLanguage =
        storedLanguage(defaults, QStringLiteral("pageTargetLanguage")).value_or(legacySource);

    s.inputTranslationMode =
        defaults.string(QStringLiteral("inputTranslationMode")) == QStringLiteral("selection")
            ? TranslationMode::selection
            : TranslationMode::automatic;

    s.providerConfigs = ProviderConfigurationStore::load(defaults);

    const qint64 debounce = defaults.integer(QStringLiteral("debounceMilliseconds")).value_or(0);
    s.debounceMilliseconds =
        allowedDebounceValues.contains(debounce) ? int(debounce) : defaultDebounceMilliseconds;
    s.pasteFallback = defaults.boolValue(QStringLiteral("pasteFallback")).value_or(false);
    s.hotkeysEnabled = defaults.boolValue(QStringLiteral("hotkeysEnabled")).value_or(true);
    s.hotkeyPreset = defaults.integer(QStringLiteral("hotkeyPreset")) == 1 ? 1 : 0;

    const QStringList allowed =
        defaults.stringArray(QStringLiteral("allowedBundleIDs")).value_or(defaultAllowedBundleIDs);
    s.allowedBundleIDs = QSet<QString>(allowed.cbegin(), allowed.cend());

    // The per-provider consent; before consents were kept per provider there was one, and it
    // meant OpenAI.
    const auto perProvider = defaults.boolValue(SettingsKeys::cloudConsent(s.selectedProvider));
    const bool startConsent = perProvider
                                  ? *perProvider
                                  : s.selectedProvider == TranslationProvider::openAI &&
                                        defaults.boolValue(QStringLiteral("cloudConsent")).value_or(false);
    s.cloudConsent =
        startConsent && consentEndpointStillHolds(defaults, s.selectedProvider, s.providerConfigs);
    return s;
}

} // namespace qw
