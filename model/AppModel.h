#pragma once

#include "accessibility/AXAccessGeneration.h"
#include "accessibility/FocusedField.h"
#include "accessibility/UserSelection.h"
#include "accessibility/adapters/AccessibilityElement.h"
#include "accessibility/adapters/RunningApplication.h"
#include "accessibility/adapters/TextRange.h"
#include "core/CancellationToken.h"
#include "core/SettingsStore.h"
#include "core/SettingsWriteResult.h"
#include "engine/CredentialState.h"
#include "engine/SelectedTranslationKind.h"
#include "engine/TranslationError.h"
#include "engine/TranslationLanguage.h"
#include "engine/TranslationMode.h"
#include "engine/TranslationProvider.h"
#include "l10n/InterfaceLanguage.h"
#include "model/AllowList.h"
#include "model/AppSettings.h"
#include "model/Credentials.h"
#include "model/ProviderSettings.h"
#include "model/ReplacementRecord.h"
#include "model/TranslationApplication.h"
#include "model/TranslationSnapshot.h"

#include <QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QRectF>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace qw {

class AXWorker;
class Clock;
class TimerSource;
class TranslationService;
class Workspace;

// The one application model: every setting, every piece of translation state and the flows
// that decide when to read, translate, offer, write back and restore. Lives on the main thread.
//
// Each flow has its own source file: AppModelSettings.cpp (the settings and their side
// effects), AppModelBookkeeping.cpp (pauses and credential state), AppModelInputFlow.cpp
// (inspection, typing pause, translation job), AppModelInvalidation.cpp (abandoning work),
// AppModelReplacement.cpp (write-back, restore, copy).
//
// Only the newest work may change what the user sees: every job captures `revision`, the
// access generation and its cancellation before each await and does nothing more when one of
// them moved. `changed()` follows every assignment of a published field.
class AppModel : public QObject {
    Q_OBJECT

public:
    // The desktop's plain text editor, allowed by default on an installation that predates the
    // first-run guide.
    static const QString defaultAllowedApplication;
    static const QList<int>& allowedDebounceValues();

    struct Collaborators {
        SettingsStore& defaults;
        Clock& clock;
        TimerSource& timers;
        // The time zone whose local midnight ends a pause.
        QTimeZone timeZone;
        TranslationService& service;
        AXWorker& ax;
        std::shared_ptr<AXAccessGeneration> axAccess;
        Workspace& workspace;
        // Whether this program may use the accessibility interface.
        std::function<bool()> trustCheck;
        // Puts plain text on the system clipboard; false when the platform refused it.
        std::function<bool(const QString&)> copyText;
        // Whether the keyring holds a key for the provider (no prompt, off the main thread).
        // Optional: without it the key state is learnt from the first read.
        std::function<QCoro::Task<bool>(TranslationProvider)> keyPresence;
        // This program's own process, which is never inspected.
        qint32 ownPid = 0;

        // --- Authorization and credentials ---
        // Store and delete the provider's key in the keyring, off the main thread. saveKey is
        // true when the key was written, removeKey when no key of the provider is left.
        std::function<QCoro::Task<bool>(TranslationProvider, QString)> saveKey;
        std::function<QCoro::Task<bool>(TranslationProvider)> removeKey;
        // Asks for the accessibility permission the way the desktop offers it (switching the
        // desktop's accessibility on); the answer is whether it is granted now.
        std::function<bool()> requestTrust;
        // Shows the user where the desktop's accessibility switch is.
        std::function<void()> openAccessibilitySettings;
        // The display name of an installed application by its id; none when it is not installed.
        std::function<std::optional<QString>(const QString&)> installedApplicationName;
        // This program's own application id, which is never allowed.
        QString ownBundleID;
    };

    // Installed by the shell; every one is optional and called on the main thread.
    struct Callbacks {
        std::function<void()> onPreviewUpdate;
        std::function<void(const std::optional<FocusedField>&)> onFieldObserved;
        std::function<void()> onHotkeySettingsChanged;
        std::function<void()> onMonitoringSettingsChanged;
        std::function<void()> onInterfaceLanguageChanged;
        std::function<void(const TranslationApplication&)> onRevokeConfirmationRequested;
        std::function<void(const TranslationApplication&)> onBrowserConfirmationRequested;
        std::function<void()> onCredentialConfigurationRequested;
        std::function<void()> onUserActionBlocked;
    };

    // Reads the settings; starts no work and runs no side effect except a silent read of the
    // selected provider's key state when `keyPresence` is given.
    AppModel(Collaborators collaborators, const QStringList& defaultAllowedBundleIDs,
             QObject* parent = nullptr);
    ~AppModel() override;

    Callbacks& callbacks() { return m_callbacks; }

    // --- Settings (persisted; each setter runs its side effects in order) ---
    // A setter saves first. When the store does not take the value, the setting keeps its
    // previous value, no side effect runs, the failure's message is published as `status`
    // and the failure is returned. Withdrawing a permission is the exception
    // (`setCloudConsent(false)`, `removeAllowedApp`, `ignoreAppToday`): it holds for this run
    // even when it cannot be saved, since nothing may be read or sent against the user's word.
    InterfaceLanguage interfaceLanguage() const { return m_settings.values().interfaceLanguage; }
    SettingsWriteResult setInterfaceLanguage(InterfaceLanguage language);
    bool appActionHotkeysEnabled() const { return m_settings.values().appActionHotkeysEnabled; }
    SettingsWriteResult setAppActionHotkeysEnabled(bool enabled);
    const QMap<QString, QDateTime>& ignoredAppsUntil() const { return m_settings.values().ignoredAppsUntil; }
    SettingsWriteResult setIgnoredAppsUntil(QMap<QString, QDateTime> ignoredAppsUntil);
    TranslationProvider selectedProvider() const { return m_settings.values().selectedProvider; }
    SettingsWriteResult setSelectedProvider(TranslationProvider provider);
    bool inputTranslationEnabled() const { return m_settings.values().inputTranslationEnabled; }
    SettingsWriteResult setInputTranslationEnabled(bool enabled);
    bool pageTranslationEnabled() const { return m_settings.values().pageTranslationEnabled; }
    SettingsWriteResult setPageTranslationEnabled(bool enabled);
    TranslationLanguage inputSourceLanguage() const { return m_settings.values().inputSourceLanguage; }
    SettingsWriteResult setInputSourceLanguage(TranslationLanguage language);
    TranslationLanguage inputTargetLanguage() const { return m_settings.values().inputTargetLanguage; }
    SettingsWriteResult setInputTargetLanguage(TranslationLanguage language);
    TranslationLanguage pageSourceLanguage() const { return m_settings.values().pageSourceLanguage; }
    SettingsWriteResult setPageSourceLanguage(TranslationLanguage language);
    TranslationLanguage pageTargetLanguage() const { return m_settings.values().pageTargetLanguage; }
    SettingsWriteResult setPageTargetLanguage(TranslationLanguage language);
    TranslationMode inputTranslationMode() const { return m_settings.values().inputTranslationMode; }
    SettingsWriteResult setInputTranslationMode(TranslationMode mode);
    int debounceMilliseconds() const { return m_settings.values().debounceMilliseconds; }
    SettingsWriteResult setDebounceMilliseconds(int milliseconds);
    bool pasteFallback() const { return m_settings.values().pasteFallback; }
    SettingsWriteResult setPasteFallback(bool enabled);
    bool hotkeysEnabled() const { return m_settings.values().hotkeysEnabled; }
    SettingsWriteResult setHotkeysEnabled(bool enabled);
    int hotkeyPreset() const { return m_settings.values().hotkeyPreset; }
    SettingsWriteResult setHotkeyPreset(int preset);
    const ProviderConfigurations& providerConfigs() const { return m_settings.values().providerConfigs; }
    const QSet<QString>& allowedBundleIDs() const { return m_settings.values().allowedBundleIDs; }
    SettingsWriteResult setAllowedBundleIDs(QSet<QString> bundleIDs);
    bool cloudConsent() const { return m_settings.values().cloudConsent; }
    // Consent to send text to the selected provider, saved together with the endpoint it is
    // given for: refused (stays false, nothing stored, `connectionStatus` says why) while that
    // endpoint is not valid.
    SettingsWriteResult setCloudConsent(bool consent);

    bool hasValidInputLanguagePair() const;
    bool hasValidPageLanguagePair() const;
    SettingsWriteResult setPageLanguagesFromInput();
    bool restoredCloudConsent(TranslationProvider provider) const;
    // The settings as this run holds them, read and written through the settings table.
    const AppSettings& settings() const { return m_settings; }

    // --- Published runtime state ---
    const std::map<TranslationProvider, CredentialState>& credentialStates() const
    {
        return m_credentialStates;
    }
    const std::map<TranslationProvider, qint32>& credentialErrorCodes() const
    {
        return m_credentialErrorCodes;
    }
    bool isAuthorizingKey() const { return m_isAuthorizingKey; }
    std::optional<TranslationProvider> authorizingProvider() const { return m_authorizingProvider; }
    const std::set<TranslationProvider>& pausedCredentialProviders() const
    {
        return m_pausedCredentialProviders;
    }
    bool hasAPIKey() const { return m_hasAPIKey; }
    const QString& connectionStatus() const { return m_connectionStatus; }
    bool isTestingConnection() const { return m_isTestingConnection; }
    bool connectionSucceeded() const { return m_connectionSucceeded; }
    bool serviceFailure() const { return m_serviceFailure; }
    bool appActionHotkeysActive() const { return m_appActionHotkeysActive; }
    const QString& hotkeyStatus() const { return m_hotkeyStatus; }
    bool permissionGranted() const { return m_permissionGranted; }
    const QString& currentApp() const { return m_currentApp; }
    const QString& currentBundle() const { return m_currentBundle; }
    const QString& currentRole() const { return m_currentRole; }
    const QString& focusDiagnostic() const { return m_focusDiagnostic; }
    const QString& lastFieldResult() const { return m_lastFieldResult; }
    const QString& inputMonitorStatus() const { return m_inputMonitorStatus; }
    const QString& status() const { return m_status; }
    const QString& original() const { return m_original; }
    const QString& translation() const { return m_translation; }
    const std::optional<TranslationApplication>& previewApplication() const { return m_previewApplication; }
    bool showingPreview() const { return m_showingPreview; }
    bool selectionPreview() const { return m_selectionPreview; }
    bool selectionTranslating() const { return m_selectionTranslating; }
    bool isTranslating() const { return m_isTranslating; }
    bool isValidatingReplacement() const { return m_isValidatingReplacement; }
    bool copiedTranslation() const { return m_copiedTranslation; }
    bool showingError() const { return m_showingError; }
    const QString& translationErrorMessage() const { return m_translationErrorMessage; }
    const QString& selectionDiagnostic() const { return m_selectionDiagnostic; }
    bool showingUndoOffer() const { return m_showingUndoOffer; }
    bool hasUndo() const { return m_hasUndo; }
    const std::optional<QRectF>& selectionBounds() const { return m_selectionBounds; }
    // The rectangle the bubble follows (accessibility coordinates): the selection while one is
    // previewed or translated, else the pinned input's field, else the field last replaced.
    std::optional<QRectF> previewBounds() const;

    // --- Bookkeeping, read-only (diagnostics and the bubble) ---
    quint64 revision() const { return m_revision; }
    const std::optional<TranslationSnapshot>& snapshot() const { return m_snapshot; }
    const std::optional<FocusedField>& currentField() const { return m_currentField; }
    const std::optional<ReplacementRecord>& replacement() const { return m_replacement; }
    bool previewReplaceable() const { return m_previewReplaceable; }
    bool isInspecting() const { return m_focusReadTask.has_value(); }
    // Whether the last read of the focus was taken; one dropped as stale vouches for nothing.
    bool lastFocusReadTaken() const { return m_lastFocusReadTaken; }
    bool hasPendingTranslation() const { return m_pendingTranslation.has_value(); }
    std::optional<SelectedTranslationKind> selectedTranslationKind() const
    {
        return m_selectedTranslationKind;
    }

    // --- Pauses and credentials ---
    bool isAppIgnoredToday(const QString& bundleID) const;
    void expireAppIgnores();
    // Pauses an allowed application until the next local midnight. The pause holds for this
    // run even when it cannot be saved; the failure is still published and returned.
    SettingsWriteResult ignoreAppToday(const TranslationApplication& app);
    SettingsWriteResult resumeApp(const QString& bundleID);
    ProviderConfiguration currentProviderConfiguration() const;
    bool providerReady() const;

    // --- Input translation ---
    // Whether a read of the focus started now (none does while one runs or a write is verified).
    bool inspectFocus(bool forceImmediate);
    // Readies what the first translation and the first write would otherwise wait for: the
    // provider's connection library and the text rules, on this thread and the accessibility
    // worker's. For when a field that may be translated is found.
    void prepareForTyping();
    void retryTranslation();
    // The bubble's language menu; none keeps a language as it is.
    void updatePreviewLanguage(std::optional<TranslationLanguage> source,
                               std::optional<TranslationLanguage> target);

    // The bubble's close: abandons the preview, the selection work and the pending translation;
    // the field and the restore offer stay.
    void discardPreview();

    // --- Selection translation (AppModelSelectionFlow.cpp) ---
    // A finished mouse selection (or a hotkey, retry or language change asking to read it again).
    void inspectSelectionAfterMouseUp(std::optional<AccessibilityElement> preferredElement);
    // A mouse press elsewhere: a shown selection preview stays readable but can no longer
    // replace anything; any other selection work is discarded.
    void invalidateSelectionWriteCapability();
    quint64 selectionRevision() const { return m_selectionRevision; }
    const QString& selectedTextOriginal() const { return m_selectedTextOriginal; }
    bool isInspectingSelection() const { return m_selectionReadTask.has_value(); }
    bool hasSelectionTranslation() const { return m_selectedTextTask.has_value(); }

    // --- Replacement and undo ---
    bool canReplacePreview() const;
    void acceptTranslation();
    void undoReplacement();
    void copyTranslation();

    // --- Application authorization (AppModelAuthorization.cpp) ---
    TranslationApplication applicationIdentity(const QString& bundleID) const;
    // Allows the application of the focused field (asking first for a browser).
    void addCurrentApp();
    // Allows, asking first through onBrowserConfirmationRequested for an unconfirmed browser
    // (then nothing is written yet and the result is a success).
    SettingsWriteResult requestAllowApplication(const TranslationApplication& app);
    // Allows without asking: the browser confirmation, when needed, was given.
    SettingsWriteResult allowApplication(const TranslationApplication& app);
    // Withdraws an allowance and its pause (called after the confirmation). Reading stops for
    // this run even when the withdrawal cannot be saved.
    SettingsWriteResult removeAllowedApp(const QString& bundleID);
    void performHotkeyIgnoreToday();
    void performHotkeyRevoke();
    void requestPermission();

    // --- Credentials and provider settings (AppModelCredentials.cpp) ---
    CredentialState credentialState() const;
    bool isAuthorizingCurrentProvider() const;
    QString apiKeyAuthorizationLabel() const;
    // Saves the key of the selected provider; true when the keyring took it.
    QCoro::Task<bool> storeKey(QString key);
    // Deletes the key and withdraws the provider's consent. When the withdrawal cannot be
    // saved, `connectionStatus` says so instead of reporting the deletion alone.
    QCoro::Task<void> deleteCurrentKey();
    // The user's explicit request to read the key, which may make the keyring prompt.
    void authorizeCredential();
    void testProviderConnection();
    // The outcome, a refused address or a configuration that could not be saved included, is
    // published as `connectionStatus`.
    void updateProviderSettings(const QString& baseURL, const QString& model);

    // --- Status, diagnostics and hotkey actions (AppModelStatus.cpp) ---
    QString runtimeStatus() const;
    bool hasBlockingIssue() const;
    bool readyForLoginGuidance() const;
    void performHotkeyAction();
    void performHotkeyUndo();
    // The diagnostics' "refresh permission" button.
    void refreshPermissionStatus();

    // --- What the shell reports (the scan, the menu, the hotkeys) ---
    // Takes the frontmost application as the current one, unless it is this program or there
    // is none: then the current application stays the one shown before. Returns it when taken.
    std::optional<RunningApplication> takeFrontmostApplication();
    void setCurrentApplication(const RunningApplication& application);
    void setInputMonitorStatus(const QString& status) { publish(m_inputMonitorStatus, status); }
    void setHotkeyStatus(const QString& status) { publish(m_hotkeyStatus, status); }
    void setAppActionHotkeysActive(bool active) { publish(m_appActionHotkeysActive, active); }
    struct DiagnosticRow {
        QString label;
        QString value;
    };
    // Never the text of a field, a translation or a key.
    QList<DiagnosticRow> diagnostics() const;

Q_SIGNALS:
    // After every assignment of a published field.
    void changed();

private:
    // One cancellable piece of work. The slot that holds it says whether it is the current one.
    struct Job {
        // A constructor rather than a member initializer: clang does not count a nested class
        // with member initializers as default-constructible inside the enclosing class.
        Job() : id(0) {}
        quint64 id;
        CancellationSource cancellation;
    };

    // --- Plumbing (AppModel.cpp) ---
    template <class T, class V> void publish(T& field, V&& value)
    {
        if (field == value)
            return;
        field = std::forward<V>(value);
        Q_EMIT changed();
    }
    void setStatus(const QString& text) { publish(m_status, text); }
    Job& startJob(std::optional<Job>& slot);
    // Empties the slot before cancelling, so that the cancelled job, which may resume inside this
    // call, no longer finds itself current.
    static void cancelJob(std::optional<Job>& slot);
    static bool isCurrent(const std::optional<Job>& slot, quint64 id) { return slot && slot->id == id; }
    void advanceRevision();
    bool isEligible(const QString& bundleID) const;
    bool trusted() const;
    void notifyPreviewUpdate();
    void notifyFieldObserved(const std::optional<FocusedField>& field);
    void notifyHotkeySettingsChanged();
    void notifyMonitoringSettingsChanged();

    // --- Settings (AppModelSettings.cpp) ---
    // Saves the changes; a failure's message becomes `status`.
    SettingsWriteResult persist(const QList<SettingsStore::Change>& changes);
    // Saves one setting through the settings table; only a saved value is taken, and observers
    // hear of it when it changed.
    template <class T> SettingsWriteResult persist(const AppSettings::Field<T>& field, T value)
    {
        const T previous = m_settings.values().*field.member;
        const SettingsWriteResult saved = m_settings.set(field, std::move(value));
        reportSettingsWriteFailure(saved);
        if (saved && !(m_settings.values().*field.member == previous))
            Q_EMIT changed();
        return saved;
    }
    // Takes a value for this run, saved or not.
    template <class T> void assignSetting(const AppSettings::Field<T>& field, T value)
    {
        if (m_settings.values().*field.member == value)
            return;
        m_settings.assign(field, std::move(value));
        Q_EMIT changed();
    }
    void reportSettingsWriteFailure(const SettingsWriteResult& result);
    // Takes a consent that is saved (or a withdrawal) into the model and runs its side effects.
    void assignCloudConsent(bool consent);
    // Runs the side effects of a consent the provider settings took (or took again), which held
    // `previous` before.
    void afterConsentTaken(bool previous);
    void afterCloudConsentChange();
    void relocalizeTexts(InterfaceLanguage from);

    // --- Bookkeeping (AppModelBookkeeping.cpp) ---
    void recordCredentialFailure(TranslationProvider provider, const TranslationError& error);
    void refreshCredentialState();
    QCoro::Task<void> credentialRefreshJob(TranslationProvider provider, quint64 generation);
    quint64 nextCredentialGeneration(TranslationProvider provider);

    // --- Abandoning work (AppModelInvalidation.cpp) ---
    // Each name says what is left behind; model/README.md has the table.
    void hidePreviewKeepingWork();
    void abandonInputWorkKeepingPreview();
    void abandonInputTranslationKeepingField();
    void suspendInputWorkKeepingUndoAndPagePreview();
    void abandonAllWorkKeepingSuspensions();
    void abandonFocusKeepingReadablePreview();
    void abandonApplicationWorkKeepingOthers(const QString& bundleID);
    void abandonSelectionWorkKeepingInputWork();
    void recordSuspendedValue();

    // --- Input flow (AppModelInputFlow.cpp) ---
    QCoro::Task<void> inspectionJob(quint64 jobId, bool forceImmediate, CancellationToken token);
    void finishInspection(quint64 jobId);
    // Whether the frontmost application is to be read at all; none ends the inspection.
    std::optional<RunningApplication> applicationToInspect();
    // The focus read, used only when nothing newer happened while it ran; whether it was.
    bool takeFocusRead(const RunningApplication& front, const std::optional<FocusedField>& field,
                       const QString& diagnostic, quint64 revision, bool forceImmediate,
                       const CancellationToken& token);
    void inspectField(const FocusedField& field, const QString& diagnostic, bool forceImmediate);
    // After an edit or another field: the restore offer goes unless the field still shows what
    // was written.
    void withdrawStaleUndo(const FocusedField& field, bool elementChanged);
    // Whether the field is left untranslated (restored text, written translation, nothing to
    // translate, a suspended value, a paused provider), with the status that says why.
    bool translationHeldBack(const FocusedField& field, bool forceImmediate);
    void schedule(const FocusedField& field, bool forceImmediate);
    QCoro::Task<void> translationJob(quint64 jobId, TranslationSnapshot snapshot, int delayMilliseconds,
                                     bool cloudConsent, ProviderConfiguration config, QString sourceLanguage,
                                     QString targetLanguage, CancellationToken token);
    void showInputTranslation(const TranslationSnapshot& snapshot, const QString& translation,
                              bool cloudConsent, TranslationProvider provider);
    void showInputFailure(const TranslationError& error);
    // Whether the settings and the revision still want the snapshot's translation (no read).
    bool snapshotStillWanted(const TranslationSnapshot& snapshot);
    QCoro::Task<bool> matches(TranslationSnapshot snapshot, CancellationToken token);
    void endStaleTaskIfCurrent(const TranslationSnapshot& snapshot);
    struct PreviewContext;
    QCoro::Task<void> languageValidationJob(quint64 jobId, PreviewContext context, CancellationToken token);

    // --- Selection flow (AppModelSelectionFlow.cpp) ---
    struct SelectionRequest;
    QCoro::Task<void> selectionInspectionJob(quint64 jobId,
                                             std::optional<AccessibilityElement> preferredElement,
                                             CancellationToken token);
    // The kind of a selection this flow translates, or none (with a status when the user can
    // fix the reason).
    std::optional<SelectedTranslationKind> selectionKind(const UserSelection& selection);
    void startSelectionTranslation(const RunningApplication& app, const UserSelection& selection,
                                   SelectedTranslationKind kind);
    QCoro::Task<void> selectionTranslationJob(quint64 jobId, SelectionRequest request,
                                              CancellationToken token);
    void showSelectionTranslation(const SelectionRequest& request, const QString& translation);
    void showSelectionFailure(const TranslationError& error);
    // Whether the selection is still exactly the one that was read.
    QCoro::Task<bool> selectionMatches(RunningApplication app, QString text, quint64 revision,
                                       CancellationToken token);
    // Whether the input selection can still be replaced safely: same focus, value and range.
    QCoro::Task<bool> selectionMatchesCurrentInput(FocusedField field, TextRange range, QString text,
                                                   QString value, CancellationToken token);
    // Within the accept job, with the access generation it captured.
    QCoro::Task<void> acceptSelectedInputTranslation(quint64 generation, CancellationToken token);

    // --- Replacement (AppModelReplacement.cpp) ---
    QCoro::Task<void> replacementJob(quint64 jobId, bool restore, CancellationToken token);
    QCoro::Task<void> acceptJob(CancellationToken token);
    QCoro::Task<void> restoreJob(CancellationToken token);
    QCoro::Task<void> copyFeedbackJob(quint64 jobId, CancellationToken token);

    // --- Authorization, credentials and status (AppModelAuthorization.cpp,
    // AppModelCredentials.cpp, AppModelStatus.cpp) ---
    std::optional<TranslationApplication> applicationForHotkey() const;
    // A write into another application failed: say so and, when no newer work owns the
    // preview, keep it for copying.
    void showWriteFailure(const QString& message, bool ownsPreview);
    // A confirmed write: keep its record and offer the restore.
    void offerRestore(const ReplacementRecord& record);
    // Refuses (with a status) to allow this program itself or an application without an id.
    bool refuseOwnApplication(const TranslationApplication& app);
    // What a missing key access interrupted, remembered when the user starts the approval.
    struct InterruptedWork {
        std::optional<TranslationSnapshot> snapshot;
        quint64 selectionRevision = 0;
        std::optional<TranslationApplication> previewApplication;
        QString selectedTextOriginal;
        std::optional<AccessibilityElement> selectedSelectionElement;
    };
    QCoro::Task<void> authorizationJob(quint64 jobId, TranslationProvider provider, quint64 generation,
                                       bool wasPaused, InterruptedWork interrupted, CancellationToken token);
    QCoro::Task<bool> resumeInterruptedWork(TranslationProvider provider, InterruptedWork interrupted,
                                            CancellationToken token);
    QCoro::Task<void> connectionTestJob(quint64 jobId, ProviderConfiguration config, CancellationToken token);
    void markCredentialAccessible(TranslationProvider provider);
    void unpauseCredentialProvider(TranslationProvider provider);
    void setCredentialState(TranslationProvider provider, CredentialState state);

    // Collaborators
    Clock& m_clock;
    TimerSource& m_timers;
    QTimeZone m_timeZone;
    TranslationService& m_service;
    AXWorker& m_ax;
    std::shared_ptr<AXAccessGeneration> m_axAccess;
    Workspace& m_workspace;
    std::function<bool()> m_trustCheck;
    std::function<bool(const QString&)> m_copyText;
    std::function<QCoro::Task<bool>(TranslationProvider)> m_keyPresence;
    qint32 m_ownPid;
    // Shared with the key jobs, which may outlive the model.
    std::shared_ptr<Credentials> m_credentials;
    std::function<bool()> m_requestTrust;
    std::function<void()> m_openAccessibilitySettings;
    std::function<std::optional<QString>(const QString&)> m_installedApplicationName;
    QString m_ownBundleID;
    Callbacks m_callbacks;
    // Shared with every running job: a job that resumes after the model is gone stops there.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    // Settings
    AppSettings m_settings;
    AllowList m_allowList;
    ProviderSettings m_providerSettings;

    // Published runtime state
    std::map<TranslationProvider, CredentialState> m_credentialStates;
    std::map<TranslationProvider, qint32> m_credentialErrorCodes;
    bool m_isAuthorizingKey = false;
    std::optional<TranslationProvider> m_authorizingProvider;
    std::set<TranslationProvider> m_pausedCredentialProviders;
    bool m_hasAPIKey = false;
    QString m_connectionStatus;
    bool m_isTestingConnection = false;
    bool m_connectionSucceeded = false;
    bool m_serviceFailure = false;
    bool m_appActionHotkeysActive = false;
    QString m_hotkeyStatus;
    bool m_permissionGranted = false;
    QString m_currentApp;
    QString m_currentBundle;
    QString m_currentRole;
    QString m_focusDiagnostic;
    QString m_lastFieldResult;
    QString m_inputMonitorStatus;
    QString m_status;
    QString m_original;
    QString m_translation;
    std::optional<TranslationApplication> m_previewApplication;
    bool m_showingPreview = false;
    bool m_selectionPreview = false;
    bool m_selectionTranslating = false;
    bool m_isTranslating = false;
    bool m_isValidatingReplacement = false;
    bool m_copiedTranslation = false;
    bool m_showingError = false;
    QString m_translationErrorMessage;
    QString m_selectionDiagnostic;
    bool m_showingUndoOffer = false;
    bool m_hasUndo = false;
    std::optional<QRectF> m_selectionBounds;

    // Jobs
    quint64 m_nextJobId = 0;
    std::optional<Job> m_focusReadTask;
    bool m_lastFocusReadTaken = false;
    std::optional<Job> m_pendingTranslation;
    std::optional<Job> m_replacementTask;
    std::optional<Job> m_selectionReadTask;
    std::optional<Job> m_selectedTextTask;
    std::optional<Job> m_copyFeedbackTask;
    std::optional<Job> m_languageValidationTask;
    std::optional<Job> m_credentialTask;
    std::optional<Job> m_connectionTest;

    // Input-flow bookkeeping
    std::optional<FocusedField> m_currentField;
    std::optional<TranslationSnapshot> m_snapshot;
    quint64 m_revision = 0;
    bool m_pendingForcedFocus = false;
    bool m_previewReplaceable = false;
    QHash<QString, QString> m_suspendedValues; // bundle identifier → fingerprint
    std::optional<FocusedField> m_suppressedField;
    std::optional<QString> m_suppressedText;

    // Undo bookkeeping
    std::optional<ReplacementRecord> m_replacement;

    // Selection bookkeeping
    quint64 m_selectionRevision = 0;
    QString m_selectedTextOriginal;
    qint32 m_selectedTextAppPID = 0;
    std::optional<SelectedTranslationKind> m_selectedTranslationKind;
    std::optional<AccessibilityElement> m_selectedSelectionElement;
    std::optional<FocusedField> m_selectedInputField;
    std::optional<TextRange> m_selectedInputRange;
    std::optional<QString> m_selectedInputValue;
    bool m_pendingSelectionRead = false;
    std::optional<AccessibilityElement> m_pendingSelectionElement;

    // Credential bookkeeping
    std::map<TranslationProvider, quint64> m_credentialGeneration;
};

} // namespace qw
