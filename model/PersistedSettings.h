#pragma once

#include "l10n/InterfaceLanguage.h"
#include "engine/ProviderConfigurationStore.h"
#include "engine/TranslationLanguage.h"
#include "engine/TranslationMode.h"
#include "engine/TranslationProvider.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace qw {

class SettingsStore;

// The user's settings as the program reads them at start: each key with its type, its fallback
// and the older keys it falls back to. The application model starts from this reading and the
// command line uses the same one, so the two can never disagree about the stored settings.
struct PersistedSettings {
    // The pauses the typing-pause control offers, in milliseconds; anything else stored loads as
    // the default.
    static const QList<int> allowedDebounceValues;
    static constexpr int defaultDebounceMilliseconds = 800;

    InterfaceLanguage interfaceLanguage = InterfaceLanguage::system;
    bool appActionHotkeysEnabled = true;
    QMap<QString, QDateTime> ignoredAppsUntil;
    TranslationProvider selectedProvider = TranslationProvider::openAI;
    bool inputTranslationEnabled = true;
    bool pageTranslationEnabled = false;
    TranslationLanguage inputSourceLanguage = TranslationLanguage::chinese;
    TranslationLanguage inputTargetLanguage = TranslationLanguage::english;
    TranslationLanguage pageSourceLanguage = TranslationLanguage::english;
    TranslationLanguage pageTargetLanguage = TranslationLanguage::chinese;
    TranslationMode inputTranslationMode = TranslationMode::automatic;
    ProviderConfigurations providerConfigs;
    int debounceMilliseconds = defaultDebounceMilliseconds;
    bool pasteFallback = false;
    bool hotkeysEnabled = true;
    int hotkeyPreset = 0;
    QSet<QString> allowedBundleIDs;
    bool cloudConsent = false; // for the selected provider, bound to its current endpoint

    // Reads every setting. `defaultAllowedBundleIDs` applies when no allow list is stored;
    // pauses that are not later than `now` are dropped.
    static PersistedSettings load(const SettingsStore& defaults, const QStringList& defaultAllowedBundleIDs,
                                  const QDateTime& now);

    // The stored consent for `provider`, valid only for the endpoint it was given for.
    static bool restoredCloudConsent(const SettingsStore& defaults, TranslationProvider provider,
                                     const ProviderConfigurations& configurations);

    // Whether the endpoint a consent was recorded for is still the provider's current one.
    static bool consentEndpointStillHolds(const SettingsStore& defaults, TranslationProvider provider,
                                          const ProviderConfigurations& configurations);

    // The pauses as they are stored: seconds since 1970-01-01 00:00 UTC per bundle identifier.
    static QVariantMap encodeIgnoredApps(const QMap<QString, QDateTime>& ignoredAppsUntil);

    // The configuration of `provider` among `configurations`, or its default one.
    static ProviderConfiguration configuration(const ProviderConfigurations& configurations,
                                               TranslationProvider provider);
};

namespace SettingsKeys {
inline QString cloudConsent(TranslationProvider provider)
{
    return QStringLiteral("cloudConsent.") + rawValue(provider);
}
inline QString cloudConsentEndpoint(TranslationProvider provider)
{
    return QStringLiteral("cloudConsentEndpoint.") + rawValue(provider);
}
} // namespace SettingsKeys

} // namespace qw
