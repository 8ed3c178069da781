// The settings: each setter persists under the key the value is read from, then runs the side
// effects of that setting in their fixed order.

#include "core/SettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "l10n/LocalizationState.h"
#include "model/AppModel.h"
#include "model/SettingsWriteMessage.h"

namespace qw {

using Table = AppSettings::Table;

SettingsWriteResult AppModel::persist(const QList<SettingsStore::Change>& changes)
{
    const SettingsWriteResult result = m_settings.apply(changes);
    reportSettingsWriteFailure(result);
    return result;
}

void AppModel::reportSettingsWriteFailure(const SettingsWriteResult& result)
{
    if (!result)
        setStatus(SettingsWriteMessage::text(result));
}

SettingsWriteResult AppModel::setInterfaceLanguage(InterfaceLanguage language)
{
    const SettingsWriteResult saved = persist(Table::interfaceLanguage, language);
    if (!saved)
        return saved;
    const InterfaceLanguage previous = LocalizationState::shared().language();
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
    const SettingsWriteResult saved = persist(Table::appActionHotkeysEnabled, enabled);
    if (!saved)
        return saved;
    notifyHotkeySettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setIgnoredAppsUntil(QMap<QString, QDateTime> ignoredAppsUntil)
{
    return persist(Table::ignoredAppsUntil, std::move(ignoredAppsUntil));
}

SettingsWriteResult AppModel::setSelectedProvider(TranslationProvider provider)
{
    // The consent belongs to the provider and its endpoint: it is saved again with the
    // selection, in one write, and its observer runs even when the value stays the same.
    const TranslationProvider previousProvider = selectedProvider();
    const bool previousConsent = cloudConsent();
    const ProviderSettings::Change change = m_providerSettings.select(provider);
    reportSettingsWriteFailure(change.saved);
    if (!change.saved)
        return change.saved;
    if (previousProvider != provider)
        Q_EMIT changed();
    afterConsentTaken(previousConsent);
    refreshCredentialState();
    abandonAllWorkKeepingSuspensions();
    return change.saved;
}

SettingsWriteResult AppModel::setInputTranslationEnabled(bool enabled)
{
    const SettingsWriteResult saved = persist(Table::inputTranslationEnabled, enabled);
    if (!saved)
        return saved;
    suspendInputWorkKeepingUndoAndPagePreview();
    notifyMonitoringSettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setPageTranslationEnabled(bool enabled)
{
    const SettingsWriteResult saved = persist(Table::pageTranslationEnabled, enabled);
    if (!saved)
        return saved;
    if (!enabled && m_selectedTranslationKind == SelectedTranslationKind::page)
        discardPreview();
    notifyMonitoringSettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setInputSourceLanguage(TranslationLanguage language)
{
    const SettingsWriteResult saved = persist(Table::inputSourceLanguage, language);
    if (!saved)
        return saved;
    suspendInputWorkKeepingUndoAndPagePreview();
    return saved;
}

SettingsWriteResult AppModel::setInputTargetLanguage(TranslationLanguage language)
{
    const SettingsWriteResult saved = persist(Table::inputTargetLanguage, language);
    if (!saved)
        return saved;
    suspendInputWorkKeepingUndoAndPagePreview();
    return saved;
}

SettingsWriteResult AppModel::setPageSourceLanguage(TranslationLanguage language)
{
    const SettingsWriteResult saved = persist(Table::pageSourceLanguage, language);
    if (!saved)
        return saved;
    discardPreview();
    return saved;
}

SettingsWriteResult AppModel::setPageTargetLanguage(TranslationLanguage language)
{
    const SettingsWriteResult saved = persist(Table::pageTargetLanguage, language);
    if (!saved)
        return saved;
    discardPreview();
    return saved;
}

SettingsWriteResult AppModel::setInputTranslationMode(TranslationMode mode)
{
    const SettingsWriteResult saved = persist(Table::inputTranslationMode, mode);
    if (!saved)
        return saved;
    suspendInputWorkKeepingUndoAndPagePreview();
    return saved;
}

SettingsWriteResult AppModel::setDebounceMilliseconds(int milliseconds)
{
    // Kept as given for this run; only the next start falls back to the default.
    const SettingsWriteResult saved = persist(Table::debounceMilliseconds, milliseconds);
    if (!saved)
        return saved;
    suspendInputWorkKeepingUndoAndPagePreview();
    return saved;
}

SettingsWriteResult AppModel::setPasteFallback(bool enabled)
{
    return persist(Table::pasteFallback, enabled);
}

SettingsWriteResult AppModel::setHotkeysEnabled(bool enabled)
{
    const SettingsWriteResult saved = persist(Table::hotkeysEnabled, enabled);
    if (!saved)
        return saved;
    notifyHotkeySettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setHotkeyPreset(int preset)
{
    const SettingsWriteResult saved = persist(Table::hotkeyPreset, preset);
    if (!saved)
        return saved;
    notifyHotkeySettingsChanged();
    return saved;
}

SettingsWriteResult AppModel::setAllowedBundleIDs(QSet<QString> bundleIDs)
{
    return persist(Table::allowedBundleIDs, std::move(bundleIDs));
}

SettingsWriteResult AppModel::setCloudConsent(bool consent)
{
    const bool previous = cloudConsent();
    const ProviderSettings::Change change = m_providerSettings.setConsent(consent);
    // A refusal says why; it stores nothing and leaves the consent off.
    if (change.refusal)
        publish(m_connectionStatus, *change.refusal);
    if (change.consentTaken)
        afterConsentTaken(previous);
    reportSettingsWriteFailure(change.saved);
    return change.saved;
}

void AppModel::assignCloudConsent(bool consent)
{
    const bool previous = cloudConsent();
    m_settings.takeCloudConsent(consent);
    afterConsentTaken(previous);
}

void AppModel::afterConsentTaken(bool previous)
{
    if (cloudConsent() != previous)
        Q_EMIT changed();
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
    return m_settings.restoredCloudConsent(provider);
}

bool AppModel::hasValidInputLanguagePair() const
{
    return isValidLanguagePair(inputSourceLanguage(), inputTargetLanguage());
}

bool AppModel::hasValidPageLanguagePair() const
{
    return isValidLanguagePair(pageSourceLanguage(), pageTargetLanguage());
}

SettingsWriteResult AppModel::setPageLanguagesFromInput()
{
    if (inputSourceLanguage() == TranslationLanguage::automatic || !hasValidInputLanguagePair())
        return SettingsWriteResult::ok();
    const TranslationLanguage source = inputSourceLanguage();
    const TranslationLanguage target = inputTargetLanguage();
    const SettingsWriteResult saved = setPageSourceLanguage(target);
    if (!saved)
        return saved;
    return setPageTargetLanguage(source);
}

} // namespace qw
