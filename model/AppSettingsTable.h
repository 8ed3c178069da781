#pragma once

// The settings table: the one place where a setting's key, stored type, default and validation
// are written. Included by AppSettings.h; a new setting is a row here (and its value in
// `AppSettings::Values`).

#include "model/AppSettings.h"

#include <cmath>

namespace qw {

namespace SettingCodec {

inline std::optional<TranslationLanguage> language(const QString& raw)
{
    return translationLanguageFromRawValue(raw);
}

// The latest end of a pause the file may hold: 9999-12-31 23:59:59 UTC, the last second a
// date is written with four digits. Far beyond any midnight, and small enough that its
// milliseconds fit a 64-bit integer exactly.
inline constexpr double latestPauseEndSeconds = 253402300799.0;

// The milliseconds since 1970 of a pause end stored in seconds, or none when the stored
// object is not a number a pause can end at. Checked before any conversion: a double outside
// the 64-bit range has no integer value at all.
inline std::optional<qint64> pauseEndMilliseconds(const QVariant& stored)
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
    if (!std::isfinite(seconds) || seconds < 0 || seconds > latestPauseEndSeconds)
        return std::nullopt;
    return std::llround(seconds * 1000.0);
}

// Pauses are stored as seconds since 1970-01-01 00:00 UTC per bundle identifier; an end that
// is not a usable time is left out.
std::optional<QMap<QString, QDateTime>> pauses(const QVariant& object);
QVariant encodePauses(const QMap<QString, QDateTime>& pauses);

} // namespace SettingCodec

struct AppSettings::Table {
    template <class T> using F = Field<T>;
    using LC = LoadContext;

    // Read only: what older versions stored, inherited by the settings that replaced them.
    static inline const Setting<TranslationLanguage> legacySourceLanguage =
        SettingCodec::rawString<TranslationLanguage>(QStringLiteral("sourceLanguage"),
                                                     TranslationLanguage::chinese, &SettingCodec::language);
    static inline const Setting<TranslationLanguage> legacyTargetLanguage =
        SettingCodec::rawString<TranslationLanguage>(QStringLiteral("targetLanguage"),
                                                     TranslationLanguage::english, &SettingCodec::language);
    static inline const Setting<bool> legacyHelperEnabled =
        SettingCodec::boolean(QStringLiteral("helperEnabled"), true);
    static inline const Setting<bool> legacySelectionTranslationEnabled =
        SettingCodec::boolean(QStringLiteral("selectionTranslationEnabled"), false);
    // The single consent kept before consents were per provider; it meant OpenAI.
    static inline const Setting<bool> legacyCloudConsent =
        SettingCodec::boolean(QStringLiteral("cloudConsent"), false);

    static inline const F<InterfaceLanguage> interfaceLanguage{
        &Values::interfaceLanguage,
        SettingCodec::rawString<InterfaceLanguage>(
            QStringLiteral("interfaceLanguage"), InterfaceLanguage::system,
            [](const QString& raw) { return std::optional(interfaceLanguageFromRaw(raw)); })};
    static inline const F<bool> appActionHotkeysEnabled{
        &Values::appActionHotkeysEnabled,
        SettingCodec::boolean(QStringLiteral("appActionHotkeysEnabled"), true)};
    static inline const F<QMap<QString, QDateTime>> ignoredAppsUntil{
        &Values::ignoredAppsUntil,
        {QStringLiteral("ignoredAppsUntil"), {}, &SettingCodec::pauses, &SettingCodec::encodePauses}};
    static inline const F<TranslationProvider> selectedProvider{
        &Values::selectedProvider, SettingCodec::rawString<TranslationProvider>(
                                       QStringLiteral("selectedTranslationProvider"),
                                       TranslationProvider::openAI, &translationProviderFromRawValue)};
    static inline const F<bool> inputTranslationEnabled{
        &Values::inputTranslationEnabled,
        SettingCodec::boolean(QStringLiteral("inputTranslationEnabled"), true),
        [](const SettingsStore& s, const LC&) {
            return legacyHelperEnabled.read(s);
        }};
    static inline const F<bool> pageTranslationEnabled{
        &Values::pageTranslationEnabled,
        SettingCodec::boolean(QStringLiteral("pageTranslationEnabled"), false),
        [](const SettingsStore& s, const LC&) {
            return legacySelectionTranslationEnabled.read(s);
        }};
    // Typing happens in the legacy source language and is sent in the legacy target; reading
    // goes the other way round.
    static inline const F<TranslationLanguage> inputSourceLanguage{
        &Values::inputSourceLanguage,
        SettingCodec::rawString<TranslationLanguage>(QStringLiteral("inputSourceLanguage"),
                                                     TranslationLanguage::chinese, &SettingCodec::language),
        [](const SettingsStore& s, const LC&) {
            return legacySourceLanguage.read(s);
        }};
    static inline const F<TranslationLanguage> inputTargetLanguage{
        &Values::inputTargetLanguage,
        SettingCodec::rawString<TranslationLanguage>(QStringLiteral("inputTargetLanguage"),
                                                     TranslationLanguage::english, &SettingCodec::language),
        [](const SettingsStore& s, const LC&) {
            // An automatic target cannot be sent to.
            const TranslationLanguage legacy = legacyTargetLanguage.read(s);
            return legacy == TranslationLanguage::automatic ? TranslationLanguage::english : legacy;
        }};
    static inline const F<TranslationLanguage> pageSourceLanguage{
        &Values::pageSourceLanguage,
        SettingCodec::rawString<TranslationLanguage>(QStringLiteral("pageSourceLanguage"),
                                                     TranslationLanguage::english, &SettingCodec::language),
        [](const SettingsStore& s, const LC&) {
            return legacyTargetLanguage.read(s);
        }};
    static inline const F<TranslationLanguage> pageTargetLanguage{
        &Values::pageTargetLanguage,
        SettingCodec::rawString<TranslationLanguage>(QStringLiteral("pageTargetLanguage"),
                                                     TranslationLanguage::chinese, &SettingCodec::language),
        [](const SettingsStore& s, const LC&) {
            return legacySourceLanguage.read(s);
        }};
    // Anything but exactly "selection" reads as automatic.
    static inline const F<TranslationMode> inputTranslationMode{
        &Values::inputTranslationMode, SettingCodec::rawString<TranslationMode>(
                                           QStringLiteral("inputTranslationMode"), TranslationMode::automatic,
                                           [](const QString& raw) -> std::optional<TranslationMode> {
                                               if (raw == u"selection")
                                                   return TranslationMode::selection;
                                               return std::nullopt;
                                           })};
    static inline const F<ProviderConfigurations> providerConfigs{
        &Values::providerConfigs,
        {QStringLiteral("providerConfigurations.v04"), ProviderConfigurationStore::defaults(),
         [](const QVariant& object) -> std::optional<ProviderConfigurations> {
             const std::optional<QByteArray> stored = SettingCodec::exactly<QByteArray>(object);
             return stored ? ProviderConfigurationStore::decode(*stored) : std::nullopt;
         },
         [](const ProviderConfigurations& configurations) {
             return QVariant(ProviderConfigurationStore::encode(configurations));
         }}};
    static inline const F<int> debounceMilliseconds{
        &Values::debounceMilliseconds,
        {QStringLiteral("debounceMilliseconds"), defaultDebounceMilliseconds,
         [](const QVariant& object) -> std::optional<int> {
             const std::optional<qint64> stored = SettingCodec::integer(object);
             if (!stored || !allowedDebounceValues.contains(*stored))
                 return std::nullopt;
             return int(*stored);
         },
         [](const int& value) {
             return QVariant(qint64(value));
         }}};
    static inline const F<bool> pasteFallback{&Values::pasteFallback,
                                              SettingCodec::boolean(QStringLiteral("pasteFallback"), false)};
    static inline const F<bool> hotkeysEnabled{&Values::hotkeysEnabled,
                                               SettingCodec::boolean(QStringLiteral("hotkeysEnabled"), true)};
    static inline const F<int> hotkeyPreset{&Values::hotkeyPreset,
                                            {QStringLiteral("hotkeyPreset"), 0,
                                             [](const QVariant& object) {
                                                 return std::optional<int>(
                                                     SettingCodec::integer(object) == 1 ? 1 : 0);
                                             },
                                             [](const int& value) {
                                                 return QVariant(qint64(value));
                                             }}};
    // Stored as a sorted array.
    static inline const F<QSet<QString>> allowedBundleIDs{
        &Values::allowedBundleIDs,
        {QStringLiteral("allowedBundleIDs"),
         {},
         [](const QVariant& object) -> std::optional<QSet<QString>> {
             const std::optional<QStringList> stored = SettingCodec::exactly<QStringList>(object);
             return stored ? std::optional(QSet<QString>(stored->cbegin(), stored->cend())) : std::nullopt;
         },
         [](const QSet<QString>& value) {
             return QVariant(storedAllowList(value));
         }},
        [](const SettingsStore&, const LC& context) {
            return QSet<QString>(context.defaultAllowedBundleIDs.cbegin(),
                                 context.defaultAllowedBundleIDs.cend());
        }};

    // Per item: the consent per provider, the endpoint it was given for, a browser's confirmation.
    static inline const SettingFamily<bool> cloudConsent =
        SettingCodec::booleanFamily(QStringLiteral("cloudConsent."));
    static inline const SettingFamily<QString> cloudConsentEndpoint =
        SettingCodec::stringFamily(QStringLiteral("cloudConsentEndpoint."));
    static inline const SettingFamily<bool> browserScopeConfirmed =
        SettingCodec::booleanFamily(QStringLiteral("browserScopeConfirmed."));

    // The first-run guide's progress.
    static inline const Setting<qint64> onboardingStep{QStringLiteral("onboardingStep"), 0,
                                                       &SettingCodec::integer, [](const qint64& v) {
                                                           return QVariant(v);
                                                       }};
    static inline const Setting<bool> onboardingCompleted =
        SettingCodec::boolean(QStringLiteral("onboardingCompleted"), false);
    static inline const Setting<bool> onboardingDeferred =
        SettingCodec::boolean(QStringLiteral("onboardingDeferred"), false);
    static inline const Setting<bool> onboardingPresented =
        SettingCodec::boolean(QStringLiteral("onboardingPresented"), false);
    // Set on a new installation: the allow list is filled only by explicit choices.
    static inline const Setting<bool> onboardingExplicitAllowlist =
        SettingCodec::boolean(QStringLiteral("onboardingExplicitAllowlist"), false);

    // The user dismissed the suggestion to start at login.
    static inline const Setting<bool> loginGuidanceDismissed =
        SettingCodec::boolean(QStringLiteral("loginGuidanceDismissed"), false);

    // The updater's two switches on the general page.
    static inline const Setting<bool> automaticUpdateChecks =
        SettingCodec::boolean(QStringLiteral("automaticUpdateChecks"), true);
    static inline const Setting<bool> automaticUpdateDownloads =
        SettingCodec::boolean(QStringLiteral("automaticUpdateDownloads"), false);
};

inline auto AppSettings::fields()
{
    using T = Table;
    return std::tie(
        T::interfaceLanguage, T::appActionHotkeysEnabled, T::ignoredAppsUntil, T::selectedProvider,
        T::inputTranslationEnabled, T::pageTranslationEnabled, T::inputSourceLanguage, T::inputTargetLanguage,
        T::pageSourceLanguage, T::pageTargetLanguage, T::inputTranslationMode, T::providerConfigs,
        T::debounceMilliseconds, T::pasteFallback, T::hotkeysEnabled, T::hotkeyPreset, T::allowedBundleIDs);
}

} // namespace qw
