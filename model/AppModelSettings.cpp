// The settings: each setter persists under the key the value is read from, then runs the side
// effects of that setting in their fixed order.

#include "app/l10n/L10n.h"
#include "app/l10n/LocalizationState.h"
#include "core/SettingsStore.h"
#include "engine/TranslationService.h"
#include "model/AppModel.h"
#include "model/PersistedSettings.h"

namespace qw {

void AppModel::setInterfaceLanguage(InterfaceLanguage language)
{
    const InterfaceLanguage previous = LocalizationState::shared().language();
    publish(m_interfaceLanguage, language);
    m_defaults.setString(QStringLiteral("interfaceLanguage"), rawValue(language));
    LocalizationState::shared().setLanguage(language);
    relocalizeTexts(previous);
    if (m_callbacks.onInterfaceLanguageChanged)
        m_callbacks.onInterfaceLanguageChanged();
    notifyHotkeySettingsChanged();
    notifyPreviewUpdate();
}

void AppModel::relocalizeTexts(InterfaceLanguage from)
{
    for (QString* text :
         {&m_status, &m_connectionStatus, &m_translationErrorMessage, &m_currentRole, &m_currentApp,
          &m_selectionDiagnostic, &m_lastFieldResult, &m_focusDiagnostic, &m_inputMonitorStatus})
        publish(*text, L10n::relocalize(*text, from));
}

void AppModel::setAppActionHotkeysEnabled(bool enabled)
{
    publish(m_appActionHotkeysEnabled, enabled);
    m_defaults.setBool(QStringLiteral("appActionHotkeysEnabled"), enabled);
    notifyHotkeySettingsChanged();
}

void AppModel::setIgnoredAppsUntil(QMap<QString, QDateTime> ignoredAppsUntil)
{
    m_defaults.setDictionary(QStringLiteral("ignoredAppsUntil"),
                             PersistedSettings::encodeIgnoredApps(ignoredAppsUntil));
    publish(m_ignoredAppsUntil, std::move(ignoredAppsUntil));
}

void AppModel::setSelectedProvider(TranslationProvider provider)
{
    publish(m_selectedProvider, provider);
    m_defaults.setString(QStringLiteral("selectedTranslationProvider"), rawValue(provider));
    // The consent belongs to the provider and its endpoint; assigning it runs its observer even
    // when the value stays the same.
    setCloudConsent(restoredCloudConsent(provider));
    refreshCredentialState();
    invalidateAndRescan();
}

void AppModel::setInputTranslationEnabled(bool enabled)
{
    publish(m_inputTranslationEnabled, enabled);
    m_defaults.setBool(QStringLiteral("inputTranslationEnabled"), enabled);
    invalidateInputTranslation();
    notifyMonitoringSettingsChanged();
}

void AppModel::setPageTranslationEnabled(bool enabled)
{
    publish(m_pageTranslationEnabled, enabled);
    m_defaults.setBool(QStringLiteral("pageTranslationEnabled"), enabled);
    if (!enabled && m_selectedTranslationKind == SelectedTranslationKind::page)
        discardPreview();
    notifyMonitoringSettingsChanged();
}

void AppModel::setInputSourceLanguage(TranslationLanguage language)
{
    publish(m_inputSourceLanguage, language);
    m_defaults.setString(QStringLiteral("inputSourceLanguage"), rawValue(language));
    invalidateInputTranslation();
}

void AppModel::setInputTargetLanguage(TranslationLanguage language)
{
    publish(m_inputTargetLanguage, language);
    m_defaults.setString(QStringLiteral("inputTargetLanguage"), rawValue(language));
    invalidateInputTranslation();
}

void AppModel::setPageSourceLanguage(TranslationLanguage language)
{
    publish(m_pageSourceLanguage, language);
    m_defaults.setString(QStringLiteral("pageSourceLanguage"), rawValue(language));
    discardPreview();
}

void AppModel::setPageTargetLanguage(TranslationLanguage language)
{
    publish(m_pageTargetLanguage, language);
    m_defaults.setString(QStringLiteral("pageTargetLanguage"), rawValue(language));
    discardPreview();
}

void AppModel::setInputTranslationMode(TranslationMode mode)
{
    publish(m_inputTranslationMode, mode);
    m_defaults.setString(QStringLiteral("inputTranslationMode"), rawValue(mode));
    invalidateInputTranslation();
}

void AppModel::setDebounceMilliseconds(int milliseconds)
{
    // Kept as given for this run; only the next start falls back to the default.
    publish(m_debounceMilliseconds, milliseconds);
    m_defaults.setInteger(QStringLiteral("debounceMilliseconds"), milliseconds);
    invalidateInputTranslation();
}

void AppModel::setPasteFallback(bool enabled)
{
    publish(m_pasteFallback, enabled);
    m_defaults.setBool(QStringLiteral("pasteFallback"), enabled);
}

void AppModel::setHotkeysEnabled(bool enabled)
{
    publish(m_hotkeysEnabled, enabled);
    m_defaults.setBool(QStringLiteral("hotkeysEnabled"), enabled);
    notifyHotkeySettingsChanged();
}

void AppModel::setHotkeyPreset(int preset)
{
    publish(m_hotkeyPreset, preset);
    m_defaults.setInteger(QStringLiteral("hotkeyPreset"), preset);
    notifyHotkeySettingsChanged();
}

void AppModel::setAllowedBundleIDs(QSet<QString> bundleIDs)
{
    QStringList stored(bundleIDs.cbegin(), bundleIDs.cend());
    stored.sort();
    m_defaults.setStringArray(QStringLiteral("allowedBundleIDs"), stored);
    publish(m_allowedBundleIDs, std::move(bundleIDs));
}

void AppModel::setCloudConsent(bool consent)
{
    // Consent is given for one endpoint: without a valid one there is nothing to consent to,
    // and the refusal says why.
    if (consent) {
        const auto endpoint = currentProviderConfiguration().validatedEndpoint();
        if (!endpoint) {
            publish(m_connectionStatus, endpoint.error().message());
            consent = false;
        }
    }
    publish(m_cloudConsent, consent);
    afterCloudConsentChange();
}

void AppModel::afterCloudConsentChange()
{
    m_defaults.setBool(SettingsKeys::cloudConsent(m_selectedProvider), m_cloudConsent);
    const std::optional<QString> endpoint = currentProviderConfiguration().consentEndpoint();
    if (m_cloudConsent && endpoint)
        m_defaults.setString(SettingsKeys::cloudConsentEndpoint(m_selectedProvider), *endpoint);
    else
        m_defaults.remove(SettingsKeys::cloudConsentEndpoint(m_selectedProvider));
    cancelJob(m_connectionTest);
    publish(m_isTestingConnection, false);
    // Nothing translated under the previous consent may be answered from the cache.
    m_service.clearContent(std::nullopt);
    invalidateAndRescan();
}

bool AppModel::restoredCloudConsent(TranslationProvider provider) const
{
    return PersistedSettings::restoredCloudConsent(m_defaults, provider, m_providerConfigs);
}

bool AppModel::hasValidInputLanguagePair() const
{
    return isValidLanguagePair(m_inputSourceLanguage, m_inputTargetLanguage);
}

bool AppModel::hasValidPageLanguagePair() const
{
    return isValidLanguagePair(m_pageSourceLanguage, m_pageTargetLanguage);
}

void AppModel::setPageLanguagesFromInput()
{
    if (m_inputSourceLanguage == TranslationLanguage::automatic || !hasValidInputLanguagePair())
        return;
    const TranslationLanguage source = m_inputSourceLanguage;
    const TranslationLanguage target = m_inputTargetLanguage;
    setPageSourceLanguage(target);
    setPageTargetLanguage(source);
}

} // namespace qw
