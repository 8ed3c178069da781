#pragma once

#include "core/Setting.h"
#include "core/SettingsStore.h"
#include "engine/ProviderConfigurationStore.h"
#include "engine/TranslationLanguage.h"
#include "engine/TranslationMode.h"
#include "engine/TranslationProvider.h"
#include "l10n/InterfaceLanguage.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <tuple>

namespace qw {

// The user's settings: every persisted setting is one row of `AppSettings::Table` (key, type,
// default, validation, the older keys it falls back to), and this object holds the values read
// through those rows and writes them back through the same rows. The model, the first-run
// guide and the command line all read and write here, so no two places can disagree about a
// key or a type.
class AppSettings {
public:
    // The pauses the typing-pause control offers, in milliseconds; anything else stored loads as
    // the default.
    static const QList<int> allowedDebounceValues;
    static constexpr int defaultDebounceMilliseconds = 800;

    // The values as this run holds them.
    struct Values {
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
        // For the selected provider, bound to its current endpoint; stored per provider.
        bool cloudConsent = false;
    };

    // What a fallback may depend on besides the store.
    struct LoadContext {
        // The allow list of an installation that has stored none.
        QStringList defaultAllowedBundleIDs;
    };

    // A row bound to the value it fills. `fallback`, when given, replaces the row's default
    // for a key that is missing or does not decode (the older keys a setting inherits).
    template <class T> struct Field {
        T Values::*member;
        Setting<T> row;
        std::function<T(const SettingsStore&, const LoadContext&)> fallback = {};

        T load(const SettingsStore& store, const LoadContext& context) const
        {
            if (std::optional<T> stored = row.stored(store))
                return *stored;
            return fallback ? fallback(store, context) : row.defaultValue;
        }
    };

    struct Table;

    AppSettings(SettingsStore& store, QStringList defaultAllowedBundleIDs, const QDateTime& now);

    const Values& values() const { return m_values; }
    SettingsStore& store() const { return m_store; }

    // Saves `value` under the field's key; only a saved value is taken.
    template <class T> [[nodiscard]] SettingsWriteResult set(const Field<T>& field, T value)
    {
        const SettingsWriteResult saved = m_store.apply({field.row.change(value)});
        if (saved)
            m_values.*field.member = std::move(value);
        return saved;
    }
    // Takes `value` for this run without saving it (a withdrawal that holds saved or not).
    template <class T> void assign(const Field<T>& field, T value)
    {
        m_values.*field.member = std::move(value);
    }
    template <class T> SettingsStore::Change change(const Field<T>& field, const T& value) const
    {
        return field.row.change(value);
    }
    // The consent as this run holds it; stored through `cloudConsentChanges`.
    void takeCloudConsent(bool consent) { m_values.cloudConsent = consent; }
    // Several changes at once, all or none; the caller assigns what they mean once saved.
    [[nodiscard]] SettingsWriteResult apply(const QList<SettingsStore::Change>& changes)
    {
        return m_store.apply(changes);
    }

    // The consent for `provider` as stored, valid only for the endpoint it was given for.
    bool restoredCloudConsent(TranslationProvider provider) const;
    // Whether the endpoint a consent was recorded for is still the provider's current one.
    bool consentEndpointStillHolds(TranslationProvider provider) const;
    // The changes that store `consent` for `provider` together with the endpoint it is given for.
    QList<SettingsStore::Change> cloudConsentChanges(TranslationProvider provider, bool consent) const;
    // Whether the user confirmed that a browser may be read (it covers every site it shows).
    bool browserScopeConfirmed(const QString& bundleID) const;
    SettingsStore::Change browserScopeConfirmation(const QString& bundleID) const;
    // The configuration of `provider`, or its default one.
    ProviderConfiguration configuration(TranslationProvider provider) const;
    // The allow list as it is stored: a sorted array.
    static QStringList storedAllowList(const QSet<QString>& bundleIDs);

    // Whether `store` holds anything a user configured before (a new installation holds none).
    static bool hasEarlierSettings(const SettingsStore& store);

    // Every field of `Values` except the consent, in the order they are read.
    static auto fields();

private:
    static Values load(const SettingsStore& store, const LoadContext& context, const QDateTime& now);

    SettingsStore& m_store;
    Values m_values;
};

} // namespace qw

#include "model/AppSettingsTable.h"
