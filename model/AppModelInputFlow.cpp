// The input translation flow: inspect the focused field, wait for a pause in typing, translate,
// and offer the result. Nothing is written here. Every step after an await first asks whether
// the model is still alive, whether the job was cancelled and whether `revision` moved.

#include "accessibility/AXReadPermit.h"
#include "accessibility/AXWorker.h"
#include "accessibility/adapters/Workspace.h"
#include "core/Delay.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "policy/SecretDetector.h"
#include "policy/TextFingerprint.h"
#include "policy/TranslationFlowRules.h"

#include <chrono>

namespace qw {

// What the bubble showed when its language menu was used, so that it can be put back when the
// text cannot be translated again.
struct AppModel::PreviewContext {
    std::optional<SelectedTranslationKind> kind;
    QString original;
    std::optional<TranslationApplication> previewApplication;
    std::optional<TranslationSnapshot> snapshot;
    std::optional<FocusedField> field;
    std::optional<QRectF> selectionBounds;
    bool selectionPreview = false;
    // The selection a selection preview was made for.
    QString selectedTextOriginal;
    qint32 selectedTextAppPID = 0;
    std::optional<AccessibilityElement> selectedSelectionElement;
    std::optional<FocusedField> selectedInputField;
    std::optional<TextRange> selectedInputRange;
    std::optional<QString> selectedInputValue;
    quint64 revision = 0;
    quint64 selectionRevision = 0;
};

bool AppModel::inspectFocus(bool forceImmediate)
{
    // A write being verified owns the field until it is confirmed.
    if (m_isValidatingReplacement)
        return false;
    if (m_focusReadTask) {
        // One inspection at a time; a forced request must not be lost behind a running one.
        m_pendingForcedFocus = m_pendingForcedFocus || forceImmediate;
        return false;
    }
    Job& job = startJob(m_focusReadTask);
    inspectionJob(job.id, forceImmediate, job.cancellation.token());
    return true;
}

QCoro::Task<void> AppModel::inspectionJob(quint64 jobId, bool forceImmediate, CancellationToken token)
{
    const auto alive = m_alive;
    m_lastFocusReadTaken = false;
    const std::optional<RunningApplication> front = applicationToInspect();
    if (front && inputTranslationMode() == TranslationMode::selection) {
        // In the selection mode only selections are translated; the application is merely
        // made ready to answer.
        const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
        co_await m_ax.prepare(*front, permit, token);
        if (!*alive)
            co_return;
        publish(m_inputMonitorStatus, L10n::text(L10N_KEY("输入划词模式：只翻译选中内容")));
    } else if (front) {
        const quint64 revision = m_revision;
        const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
        const AXWorker::FocusResult read = co_await m_ax.focus(*front, permit, token);
        if (!*alive)
            co_return;
        m_lastFocusReadTaken =
            takeFocusRead(*front, read.first, read.second, revision, forceImmediate, token);
    }
    finishInspection(jobId);
}

void AppModel::prepareForTyping()
{
    m_service.prepare(cloudConsent());
    SecretDetector::prepareThisThread();
    m_ax.prepareForWrites();
}

void AppModel::finishInspection(quint64 jobId)
{
    // Whatever way the inspection ends, the slot is freed and a remembered forced request runs.
    if (!isCurrent(m_focusReadTask, jobId))
        return;
    m_focusReadTask.reset();
    if (m_pendingForcedFocus) {
        m_pendingForcedFocus = false;
        inspectFocus(true);
    }
}

std::optional<RunningApplication> AppModel::applicationToInspect()
{
    expireAppIgnores();
    publish(m_permissionGranted, trusted());
    if (!m_permissionGranted) {
        abandonFocusKeepingReadablePreview();
        return std::nullopt;
    }
    const std::optional<RunningApplication> front = takeFrontmostApplication();
    if (!front)
        return std::nullopt;
    if (m_selectedTextAppPID != 0 && m_selectedTextAppPID != front->pid)
        abandonSelectionWorkKeepingInputWork();
    if (isAppIgnoredToday(m_currentBundle)) {
        abandonFocusKeepingReadablePreview();
        setStatus(L10n::text(L10N_KEY("今日已忽略此应用，午夜自动恢复")));
        return std::nullopt;
    }
    // A page-selection preview is not disturbed by focus events.
    if (m_selectedTranslationKind == SelectedTranslationKind::page &&
        (m_selectionPreview || m_selectionTranslating))
        return std::nullopt;
    if (!isEligible(m_currentBundle)) {
        publish(m_currentRole, L10n::text(L10N_KEY("未授权应用")));
        publish(m_focusDiagnostic, L10n::text(L10N_KEY("尚未读取该应用的输入内容")));
        abandonFocusKeepingReadablePreview();
        return std::nullopt;
    }
    if (!inputTranslationEnabled() || !hasValidInputLanguagePair()) {
        notifyFieldObserved(std::nullopt);
        abandonInputWorkKeepingPreview();
        if (m_selectedTranslationKind != SelectedTranslationKind::page)
            hidePreviewKeepingWork();
        return std::nullopt;
    }
    return front;
}

bool AppModel::takeFocusRead(const RunningApplication& front, const std::optional<FocusedField>& field,
                             const QString& diagnostic, quint64 revision, bool forceImmediate,
                             const CancellationToken& token)
{
    // The read is only used when nothing newer happened meanwhile.
    const QString bundleID = front.bundleID.value_or(QString());
    const std::optional<RunningApplication> frontNow = m_workspace.frontmostApplication();
    if (token.isCancelled() || m_revision != revision || m_isValidatingReplacement || !isEligible(bundleID) ||
        !frontNow || frontNow->pid != front.pid)
        return false;
    if (!field) {
        const QString appName = front.localizedName.value_or(L10n::text(L10N_KEY("未知应用")));
        publish(m_currentRole, L10n::text(L10N_KEY("未识别输入框")));
        publish(m_focusDiagnostic, diagnostic);
        publish(m_currentApp, appName);
        publish(m_lastFieldResult, appName + QStringLiteral(" \u00B7 ") + m_currentRole);
        abandonFocusKeepingReadablePreview();
        return true;
    }
    inspectField(*field, diagnostic, forceImmediate);
    return true;
}

void AppModel::inspectField(const FocusedField& field, const QString& diagnostic, bool forceImmediate)
{
    publish(m_currentRole, field.role);
    publish(m_focusDiagnostic, diagnostic);
    publish(m_currentApp, field.appName);
    publish(m_lastFieldResult, field.appName + QStringLiteral(" \u00B7 ") + field.role);

    const bool sameElement =
        m_currentField && m_currentField->pid == field.pid && m_currentField->element == field.element;
    const bool unchanged = !forceImmediate && sameElement && m_currentField->value == field.value &&
                           m_currentField->selectedLength == field.selectedLength;
    if (unchanged)
        return; // a waiting job keeps waiting: a repeated notification is not a keystroke

    const bool elementChanged = !sameElement;
    m_currentField = field;
    advanceRevision();
    cancelJob(m_pendingTranslation);

    withdrawStaleUndo(field, elementChanged);

    if (m_showingPreview && !m_selectionPreview) {
        // The preview stays readable, but it no longer belongs to what is in the field.
        m_previewReplaceable = false;
        m_snapshot.reset();
        publish(m_isTranslating, false);
        notifyPreviewUpdate();
    } else {
        hidePreviewKeepingWork();
    }

    if (!translationHeldBack(field, forceImmediate))
        schedule(field, forceImmediate);
}

void AppModel::withdrawStaleUndo(const FocusedField& field, bool elementChanged)
{
    if (elementChanged) {
        notifyFieldObserved(field);
        m_replacement.reset();
        publish(m_hasUndo, false);
        publish(m_showingUndoOffer, false);
        m_suppressedField.reset();
        m_suppressedText.reset();
    } else if (m_replacement && m_replacement->translated != field.value) {
        m_replacement.reset();
        publish(m_hasUndo, false);
        publish(m_showingUndoOffer, false);
    }
}

bool AppModel::translationHeldBack(const FocusedField& field, bool forceImmediate)
{
    if (m_suppressedField && m_suppressedField->pid == field.pid &&
        m_suppressedField->element == field.element && m_suppressedText == field.value) {
        setStatus(L10n::text(L10N_KEY("已恢复原文；继续编辑后将重新翻译")));
        return true;
    }
    m_suppressedField.reset();
    m_suppressedText.reset();

    if (m_replacement && m_replacement->field.pid == field.pid &&
        m_replacement->field.element == field.element && m_replacement->translated == field.value) {
        setStatus(L10n::text(L10N_KEY("译文已回填；可恢复原文或继续编辑")));
        return true;
    }

    if (!TranslationFlowRules::shouldSchedule(field.value, field.selectedLength)) {
        if (field.selectedLength.value_or(0) > 0)
            setStatus(L10n::text(L10N_KEY("已选中文字：为避免干扰编辑，暂不翻译")));
        else if (field.value.isEmpty())
            setStatus(L10n::text(L10N_KEY("输入文字开始翻译")));
        else
            setStatus(L10n::text(L10N_KEY("当前内容无需翻译或受到保护")));
        return true;
    }

    // A value the user invalidated stays untranslated until it changes; the hotkey overrides.
    if (!forceImmediate) {
        const auto suspended = m_suspendedValues.constFind(m_currentBundle);
        if (suspended != m_suspendedValues.cend() && *suspended == TextFingerprint::of(field.value))
            return true;
    }
    m_suspendedValues.remove(m_currentBundle);

    // A provider whose key could not be read is not asked in the background.
    return cloudConsent() && m_pausedCredentialProviders.count(selectedProvider()) > 0;
}

void AppModel::schedule(const FocusedField& field, bool forceImmediate)
{
    const TranslationSnapshot snapshot{field, field.value, m_revision};
    m_snapshot = snapshot;
    // A stale preview left on screen keeps the name of the application its text came from, so
    // that revoking or pausing that application still takes it away; the new field's
    // application is named when its own result is shown.
    if (!m_showingPreview || m_selectionPreview)
        publish(m_previewApplication, TranslationApplication{field.bundleID, field.appName});
    publish(m_isTranslating, false);
    setStatus(forceImmediate ? L10n::text(L10N_KEY("快捷键：立即翻译…"))
                             : L10n::text(L10N_KEY("等待输入停顿…")));

    m_service.prepare(cloudConsent());
    Job& job = startJob(m_pendingTranslation);
    translationJob(job.id, snapshot, forceImmediate ? 0 : debounceMilliseconds(), cloudConsent(),
                   currentProviderConfiguration(), rawValue(inputSourceLanguage()),
                   rawValue(inputTargetLanguage()), job.cancellation.token());
}

QCoro::Task<void> AppModel::translationJob(quint64 jobId, TranslationSnapshot snapshot, int delayMilliseconds,
                                           bool cloudConsent, ProviderConfiguration config,
                                           QString sourceLanguage, QString targetLanguage,
                                           CancellationToken token)
{
    const auto alive = m_alive;
    // A wait of 0 still yields once, so the scheduling call returns before the job goes on.
    const bool elapsed = co_await delay(m_timers, std::chrono::milliseconds(delayMilliseconds), token);
    if (!*alive)
        co_return;
    // A cancelled job was replaced by newer work, which owns what the user sees.
    if (!elapsed || token.isCancelled())
        co_return;

    const bool before = co_await matches(snapshot, token);
    if (!*alive || token.isCancelled())
        co_return;
    if (!before) {
        endStaleTaskIfCurrent(snapshot);
        co_return;
    }

    publish(m_isTranslating, true);
    setStatus(L10n::format(L10N_KEY("正在使用 %@ 翻译…"), {displayName(config.provider)}));
    notifyPreviewUpdate();

    const TranslationService::TextResult result =
        co_await m_service.translate(snapshot.originalText, config, cloudConsent, targetLanguage,
                                     sourceLanguage, snapshot.field.bundleID, true, token);
    if (!*alive || token.isCancelled())
        co_return;

    // A result is never shown for a field whose text changed while it was being translated.
    const bool after = co_await matches(snapshot, token);
    if (!*alive || token.isCancelled())
        co_return;
    if (!after || (!result && result.error().isCancellation())) {
        // A wiped cache makes the result stale; it is not a failure to report.
        endStaleTaskIfCurrent(snapshot);
        co_return;
    }
    if (isCurrent(m_pendingTranslation, jobId))
        m_pendingTranslation.reset();

    publish(m_previewApplication, TranslationApplication{snapshot.field.bundleID, snapshot.field.appName});
    if (result)
        showInputTranslation(snapshot, result.value(), cloudConsent, config.provider);
    else
        showInputFailure(result.error());
}

void AppModel::showInputTranslation(const TranslationSnapshot& snapshot, const QString& translation,
                                    bool cloudConsent, TranslationProvider provider)
{
    if (cloudConsent) {
        std::map<TranslationProvider, CredentialState> states = m_credentialStates;
        states[provider] = CredentialState::accessible;
        publish(m_credentialStates, std::move(states));
    }
    m_previewReplaceable = true;
    publish(m_serviceFailure, false);
    publish(m_original, snapshot.originalText);
    publish(m_translation, translation);
    publish(m_showingPreview, true);
    publish(m_showingError, false);
    publish(m_isTranslating, false);
    setStatus(cloudConsent ? L10n::text(L10N_KEY("云端翻译就绪，点击替换"))
                           : L10n::text(L10N_KEY("演示译文就绪，点击替换")));
    notifyPreviewUpdate();
}

void AppModel::showInputFailure(const TranslationError& error)
{
    publish(m_isTranslating, false);
    recordCredentialFailure(selectedProvider(), error);
    publish(m_serviceFailure, m_pausedCredentialProviders.count(selectedProvider()) == 0);
    const QString message = error.message();
    publish(m_translationErrorMessage, message);
    publish(m_showingError, true);
    setStatus(message);
    notifyPreviewUpdate();
}

bool AppModel::snapshotStillWanted(const TranslationSnapshot& snapshot)
{
    return inputTranslationEnabled() && trusted() && m_permissionGranted &&
           inputTranslationMode() == TranslationMode::automatic && hasValidInputLanguagePair() &&
           isEligible(snapshot.field.bundleID) && m_revision == snapshot.revision;
}

QCoro::Task<bool> AppModel::matches(TranslationSnapshot snapshot, CancellationToken token)
{
    const auto alive = m_alive;
    const QString bundleID = snapshot.field.bundleID;
    if (!snapshotStillWanted(snapshot))
        co_return false;

    const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
    const AXWorker::Snapshot read = co_await m_ax.snapshot(snapshot.field, permit, token);
    if (!*alive || token.isCancelled())
        co_return false;
    co_return inputTranslationEnabled() &&
        inputTranslationMode() == TranslationMode::automatic&& m_revision ==
            snapshot.revision&& isEligible(bundleID) &&
        read.stillFocused&& read.value == snapshot.originalText&& read.selectedLength.value_or(0) == 0;
}

void AppModel::endStaleTaskIfCurrent(const TranslationSnapshot& snapshot)
{
    // Newer work owns the state once the revision moved.
    if (m_revision != snapshot.revision)
        return;
    m_currentField.reset();
    hidePreviewKeepingWork();
    setStatus(L10n::text(L10N_KEY("输入框状态已变化，重新聚焦后可继续翻译")));
}

void AppModel::retryTranslation()
{
    if (!m_selectionPreview && !m_selectionTranslating && m_selectedTextAppPID == 0) {
        hidePreviewKeepingWork();
        inspectFocus(true);
        return;
    }
    // The selection is read again: it may have changed since the failed attempt.
    abandonSelectionWorkKeepingInputWork();
    inspectSelectionAfterMouseUp(std::nullopt);
}

void AppModel::updatePreviewLanguage(std::optional<TranslationLanguage> source,
                                     std::optional<TranslationLanguage> target)
{
    cancelJob(m_languageValidationTask);
    PreviewContext context;
    context.kind = m_selectedTranslationKind;
    context.original = m_original;
    context.previewApplication = m_previewApplication;
    context.snapshot = m_snapshot;
    context.field = m_snapshot ? std::optional<FocusedField>(m_snapshot->field) : m_currentField;
    context.selectionBounds = m_selectionBounds;
    context.selectionPreview = m_selectionPreview;
    context.selectedTextOriginal = m_selectedTextOriginal;
    context.selectedTextAppPID = m_selectedTextAppPID;
    context.selectedSelectionElement = m_selectedSelectionElement;
    context.selectedInputField = m_selectedInputField;
    context.selectedInputRange = m_selectedInputRange;
    context.selectedInputValue = m_selectedInputValue;

    if (context.kind == SelectedTranslationKind::page) {
        if (source)
            setPageSourceLanguage(*source);
        if (target)
            setPageTargetLanguage(*target);
    } else {
        if (source)
            setInputSourceLanguage(*source);
        if (target)
            setInputTargetLanguage(*target);
    }
    // Taken after the language setters, which themselves abandon the old work: only work that
    // starts after the language change counts as newer.
    context.revision = m_revision;
    context.selectionRevision = m_selectionRevision;

    Job& job = startJob(m_languageValidationTask);
    languageValidationJob(job.id, std::move(context), job.cancellation.token());
}

QCoro::Task<void> AppModel::languageValidationJob(quint64 jobId, PreviewContext context,
                                                  CancellationToken token)
{
    const auto alive = m_alive;
    const QString bundleID = context.previewApplication ? context.previewApplication->bundleID : QString();
    bool stillThere = false;
    const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    if (context.kind && isEligible(bundleID) && trusted()) {
        // A selection preview: the same text must still be selected in the same application.
        if (front && front->pid == context.selectedTextAppPID) {
            const RunningApplication app = *front;
            const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
            const std::optional<UserSelection> read =
                co_await m_ax.selection(app, context.selectedSelectionElement, permit, token);
            if (!*alive)
                co_return;
            stillThere = read && read->text == context.selectedTextOriginal;
        }
    } else if (context.field && isEligible(bundleID) && trusted()) {
        const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
        const AXWorker::Snapshot read = co_await m_ax.snapshot(*context.field, permit, token);
        if (!*alive)
            co_return;
        stillThere =
            read.stillFocused && read.value == context.original && read.selectedLength.value_or(0) == 0;
    }
    if (token.isCancelled() || !isCurrent(m_languageValidationTask, jobId))
        co_return;
    m_languageValidationTask.reset();

    const bool pairValid = context.kind == SelectedTranslationKind::page ? hasValidPageLanguagePair()
                                                                         : hasValidInputLanguagePair();
    const bool eligible = isEligible(bundleID);
    if (stillThere && eligible && m_revision == context.revision &&
        m_selectionRevision == context.selectionRevision && pairValid) {
        // The same text again, at once, in the new languages; the suspension the language
        // setter recorded does not apply to a forced inspection.
        if (context.kind)
            inspectSelectionAfterMouseUp(context.selectedSelectionElement);
        else
            inspectFocus(true);
        co_return;
    }
    if (!eligible)
        co_return;
    publish(m_previewApplication, context.previewApplication);
    publish(m_original, context.original);
    publish(m_selectionBounds, context.selectionBounds);
    publish(m_selectionPreview, context.selectionPreview);
    if (context.kind && context.selectionPreview) {
        // The selection the error is about, so that a retry reads it again.
        m_selectedTranslationKind = context.kind;
        m_selectedTextOriginal = context.selectedTextOriginal;
        m_selectedTextAppPID = context.selectedTextAppPID;
        m_selectedSelectionElement = context.selectedSelectionElement;
        m_selectedInputField = context.selectedInputField;
        m_selectedInputRange = context.selectedInputRange;
        m_selectedInputValue = context.selectedInputValue;
    }
    publish(m_translationErrorMessage, pairValid ? L10n::text(L10N_KEY("输入框或文字已变化，请重新翻译"))
                                                 : L10n::text(L10N_KEY("源语言与目标语言必须不同")));
    publish(m_showingError, true);
    notifyPreviewUpdate();
}

} // namespace qw
