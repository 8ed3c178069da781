// The settings: each setter persists under the key the value is read from, then runs the side
// effects of that setting in their fixed order.

#include "l10n/L10n.h"
#include "l10n/LocalizationState.h"
#include "core/SettingsStore.h"
#include "engine/TranslationService.h"
#include "model/AppModel.h"
#include "model/PersistedSettings.h"
#include "model/SettingsWriteMessage.h"

namespace qw {

SettingsWriteResult AppModel::persist(const QList<SettingsStore::Change>& changes)
{
    const SettingsWriteResult result = m_defaults.apply(changes);
    reportSettingsWriteFailure(result);
    return result;
}

SettingsWriteResult AppModel::persist(const QString& key, const QVariant& value)
{
    return persist({SettingsStore::Change{key, value}});
}

void AppModel::reportSettingsWriteFailure(const SettingsWriteResult& result)
{
    if (!result)
        setStatus(SettingsWriteMessage::text(result));
}

SettingsWriteResult AppModel::setInterfaceLanguage(InterfaceLanguage language)
{
    const SettingsWriteResult saved = persist(QStringLiteral("interfaceLanguage"), rawValue(language));
    if (!saved)
        return saved;
    const InterfaceLanguage previous = LocalizationState::shared().language();
    publish(m_interfaceLanguage, language);
    LocalizationState::shared().setLanguage(language);
    relocalizeTexts(previous);
    if (m_callbacks.onInterfaceLanguageChanged)
        m_callbacks.onInterfaceLanguageChanged();
    notifyHotkeySettingsChanged();
    notifyPreviewUpdate();
    return saved;
}

void AppModel::relocalizeTexts(InterfaceLanguage from)
{
    for (QString* text :
         {&m_status, &m_connectionStatus, &m_translationErrorMessage, &m_currentRole, &m_currentApp,
          &m_selectionDiagnostic, &m_lastFieldResult, &m_focusDiagnostic, &m_inputMonitorStatus})
        publish(*text, L10n::relocalize(*text, from));
}

SettingsWriteResult AppModel::setAppActionHotkeysEnabled(bool enabled)
{
    const SettingsWriteResult saved = persist(QStringLiteral("appActionHotkeysEnabled"), enabled);
    if (!saved)
        return saved;
    publish(m_appActionHotkeysEnabled, enabled);
    notifyHotkeySettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setIgnoredAppsUntil(QMap<QString, QDateTime> ignoredAppsUntil)
{
    const SettingsWriteResult saved =
        persist(QStringLiteral("ignoredAppsUntil"), PersistedSettings::encodeIgnoredApps(ignoredAppsUntil));
    if (saved)
        publish(m_ignoredAppsUntil, std::move(ignoredAppsUntil));
    return saved;
}

SettingsWriteResult AppModel::setSelectedProvider(TranslationProvider provider)
{
    // The consent belongs to the provider and its endpoint: it is saved again with the
    // selection, in one write, and its observer runs even when the value stays the same.
    const bool consent = restoredCloudConsent(provider);
    QList<SettingsStore::Change> changes{{QStringLiteral("selectedTranslationProvider"), rawValue(provider)}};
    changes.append(cloudConsentChanges(provider, consent));
    const SettingsWriteResult saved = persist(changes);
    if (!saved)
        return saved;
    publish(m_selectedProvider, provider);
    assignCloudConsent(consent);
    refreshCredentialState();
    abandonAllWorkKeepingSuspensions();
    return saved;
}

SettingsWriteResult AppModel::setInputTranslationEnabled(bool enabled)
{
    const SettingsWriteResult saved = persist(QStringLiteral("inputTranslationEnabled"), enabled);
    if (!saved)
        return saved;
    publish(m_inputTranslationEnabled, enabled);
    suspendInputWorkKeepingUndoAndPagePreview();
    notifyMonitoringSettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setPageTranslationEnabled(bool enabled)
{
    const SettingsWriteResult saved = persist(QStringLiteral("pageTranslationEnabled"), enabled);
    if (!saved)
        return saved;
    publish(m_pageTranslationEnabled, enabled);
    if (!enabled && m_selectedTranslationKind == SelectedTranslationKind::page)
        discardPreview();
    notifyMonitoringSettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setInputSourceLanguage(TranslationLanguage language)
{
    const SettingsWriteResult saved = persist(QStringLiteral("inputSourceLanguage"), rawValue(language));
    if (!saved)
        return saved;
    publish(m_inputSourceLanguage, language);
    suspendInputWorkKeepingUndoAndPagePreview();
    return saved;
}

SettingsWriteResult AppModel::setInputTargetLanguage(TranslationLanguage language)
{
    const SettingsWriteResult saved = persist(QStringLiteral("inputTargetLanguage"), rawValue(language));
    if (!saved)
        return saved;
    publish(m_inputTargetLanguage, language);
    suspendInputWorkKeepingUndoAndPagePreview();
    return saved;
}

SettingsWriteResult AppModel::setPageSourceLanguage(TranslationLanguage language)
{
    const SettingsWriteResult saved = persist(QStringLiteral("pageSourceLanguage"), rawValue(language));
    if (!saved)
        return saved;
    publish(m_pageSourceLanguage, language);
    discardPreview();
    return saved;
}

SettingsWriteResult AppModel::setPageTargetLanguage(TranslationLanguage language)
{
    const SettingsWriteResult saved = persist(QStringLiteral("pageTargetLanguage"), rawValue(language));
    if (!saved)
        return saved;
    publish(m_pageTargetLanguage, language);
    discardPreview();
    return saved;
}

SettingsWriteResult AppModel::setInputTranslationMode(TranslationMode mode)
{
    const SettingsWriteResult saved = persist(QStringLiteral("inputTranslationMode"), rawValue(mode));
    if (!saved)
        return saved;
    publish(m_inputTranslationMode, mode);
    suspendInputWorkKeepingUndoAndPagePreview();
    return saved;
}

SettingsWriteResult AppModel::setDebounceMilliseconds(int milliseconds)
{
    // Kept as given for this run; only the next start falls back to the default.
    const SettingsWriteResult saved = persist(QStringLiteral("debounceMilliseconds"), qint64(milliseconds));
    if (!saved)
        return saved;
    publish(m_debounceMilliseconds, milliseconds);
    suspendInputWorkKeepingUndoAndPagePreview();
    return saved;
}

SettingsWriteResult AppModel::setPasteFallback(bool enabled)
{
    const SettingsWriteResult saved = persist(QStringLiteral("pasteFallback"), enabled);
    if (saved)
        publish(m_pasteFallback, enabled);
    return saved;
}

SettingsWriteResult AppModel::setHotkeysEnabled(bool enabled)
{
    const SettingsWriteResult saved = persist(QStringLiteral("hotkeysEnabled"), enabled);
    if (!saved)
        return saved;
    publish(m_hotkeysEnabled, enabled);
    notifyHotkeySettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setHotkeyPreset(int preset)
{
    const SettingsWriteResult saved = persist(QStringLiteral("hotkeyPreset"), qint64(preset));
    if (!saved)
        return saved;
    publish(m_hotkeyPreset, preset);
    notifyHotkeySettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setAllowedBundleIDs(QSet<QString> bundleIDs)
{
    QStringList stored(bundleIDs.cbegin(), bundleIDs.cend());
    stored.sort();
    const SettingsWriteResult saved = persist(QStringLiteral("allowedBundleIDs"), stored);
    if (saved)
        publish(m_allowedBundleIDs, std::move(bundleIDs));
    return saved;
}

SettingsWriteResult AppModel::setCloudConsent(bool consent)
{
    // Consent is given for one endpoint: without a valid one there is nothing to consent to.
    // The refusal says why, stores nothing and leaves the consent off.
    if (consent) {
        const auto endpoint = currentProviderConfiguration().validatedEndpoint();
        if (!endpoint) {
            publish(m_connectionStatus, endpoint.error().message());
            assignCloudConsent(false);
            return SettingsWriteResult::ok();
        }
    }
    const SettingsWriteResult saved = m_defaults.apply(cloudConsentChanges(m_selectedProvider, consent));
    // A consent counts only once it is saved; a withdrawal counts at once, saved or not: no
    // text may go out on a consent the user took back.
    if (saved || !consent)
        assignCloudConsent(consent);
    reportSettingsWriteFailure(saved);
    return saved;
}

QList<SettingsStore::Change> AppModel::cloudConsentChanges(TranslationProvider provider, bool consent) const
{
    const std::optional<QString> endpoint =
        PersistedSettings::configuration(m_providerConfigs, provider).consentEndpoint();
    QList<SettingsStore::Change> changes{{SettingsKeys::cloudConsent(provider), consent}};
    if (consent && endpoint)
        changes.append({SettingsKeys::cloudConsentEndpoint(provider), *endpoint});
    else
        changes.append({SettingsKeys::cloudConsentEndpoint(provider), std::nullopt});
    return changes;
}

void AppModel::assignCloudConsent(bool consent)
{
    publish(m_cloudConsent, consent);
    afterCloudConsentChange();
}

void AppModel::afterCloudConsentChange()
{
    cancelJob(m_connectionTest);
    publish(m_isTestingConnection, false);
    // Nothing translated under the previous consent may be answered from the cache.
    m_service.clearContent(std::nullopt);
    abandonAllWorkKeepingSuspensions();
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

SettingsWriteResult AppModel::setPageLanguagesFromInput()
{
    if (m_inputSourceLanguage == TranslationLanguage::automatic || !hasValidInputLanguagePair())
        return SettingsWriteResult::ok();
    const TranslationLanguage source = m_inputSourceLanguage;
    const TranslationLanguage target = m_inputTargetLanguage;
    const SettingsWriteResult saved = setPageSourceLanguage(target);
    if (!saved)
        return saved;
    return setPageTargetLanguage(source);
}

} // namespace qw
