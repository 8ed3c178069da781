// The selection translation flow: text the user selected with the mouse in an allowed
// application is read, translated and shown next to the selection. A page selection can only be
// copied; an input selection (inside an editable field, in the selection mode) may replace
// exactly the selected range, and only after a fresh read shows the same field, value and range.
// Every step after an await asks whether the model is still alive, whether the job was cancelled
// and whether `selectionRevision` moved.

#include "accessibility/AXReadPermit.h"
#include "accessibility/AXReplaceRequest.h"
#include "accessibility/AXWorker.h"
#include "accessibility/adapters/Workspace.h"
#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "policy/SelectionRules.h"

#include <QCoreApplication>
#include <coroutine>

namespace qw {

namespace {

// Resumes the awaiting job from the event loop, once the call that started it has returned.
// Awaiting a worker whose answer is already there does not suspend, so without this turn an
// inspection could run to its end inside the request that started it, and the reports that
// follow in the same turn would each start one of their own.
class NextEventLoopTurn {
public:
    bool await_ready() const { return QCoreApplication::instance() == nullptr; }
    void await_suspend(std::coroutine_handle<> job) const
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [job] { job.resume(); }, Qt::QueuedConnection);
    }
    void await_resume() const {}
};

} // namespace

// Everything the translation job of one selection needs, fixed when the selection was read.
struct AppModel::SelectionRequest {
    RunningApplication app;
    QString bundleID;
    QString text;
    SelectedTranslationKind kind = SelectedTranslationKind::page;
    quint64 selectionRevision = 0;
    ProviderConfiguration config;
    bool cloudConsent = false;
    QString sourceLanguage;
    QString targetLanguage;
};

void AppModel::inspectSelectionAfterMouseUp(std::optional<AccessibilityElement> preferredElement)
{
    // A write being verified owns the field until it is confirmed.
    if (m_isValidatingReplacement)
        return;
    if (m_selectionReadTask) {
        // One inspection at a time; the latest report is the one that counts.
        m_pendingSelectionRead = true;
        m_pendingSelectionElement = std::move(preferredElement);
        return;
    }
    Job& job = startJob(m_selectionReadTask);
    selectionInspectionJob(job.id, std::move(preferredElement), job.cancellation.token());
}

QCoro::Task<void> AppModel::selectionInspectionJob(quint64 jobId,
                                                   std::optional<AccessibilityElement> preferredElement,
                                                   CancellationToken token)
{
    const auto alive = m_alive;
    // Whatever way the inspection ends, the slot is freed and a remembered request runs.
    const auto finish = [this, jobId]() {
        if (!isCurrent(m_selectionReadTask, jobId))
            return;
        m_selectionReadTask.reset();
        if (m_pendingSelectionRead) {
            m_pendingSelectionRead = false;
            std::optional<AccessibilityElement> element = std::move(m_pendingSelectionElement);
            m_pendingSelectionElement.reset();
            inspectSelectionAfterMouseUp(std::move(element));
        }
    };

    // Every report delivered in this turn finds the inspection running and is remembered.
    const NextEventLoopTurn nextTurn;
    co_await nextTurn;
    if (!*alive)
        co_return;

    // --- First stage: decide whether to read at all ---
    if ((!inputTranslationEnabled() && !pageTranslationEnabled()) || !trusted()) {
        finish();
        co_return;
    }
    const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    if (!front || front->pid == m_ownPid || !isEligible(front->bundleID.value_or(QString()))) {
        finish();
        co_return;
    }
    const QString bundleID = front->bundleID.value_or(QString());
    const quint64 revision = m_revision;
    const quint64 selectionRevision = m_selectionRevision;
    const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
    const std::optional<UserSelection> read =
        co_await m_ax.selection(*front, preferredElement, permit, token);
    if (!*alive)
        co_return;

    // --- Second stage: the read is only used when nothing newer happened meanwhile; a report
    // that arrived during it wins, and this read is never translated ---
    const std::optional<RunningApplication> frontNow = m_workspace.frontmostApplication();
    if (token.isCancelled() || m_revision != revision || m_selectionRevision != selectionRevision ||
        m_pendingSelectionRead || m_isValidatingReplacement || !isEligible(bundleID) || !frontNow ||
        frontNow->pid != front->pid) {
        finish();
        co_return;
    }
    if (!read || !SelectionRules::shouldTranslate(read->text)) {
        invalidateSelectionWriteCapability();
        publish(m_selectionDiagnostic, L10n::text(L10N_KEY("当前控件未暴露可翻译的选区")));
        finish();
        co_return;
    }

    const std::optional<SelectedTranslationKind> kind = selectionKind(*read);
    if (!kind) {
        finish();
        co_return;
    }

    // The same selection is already shown and still writable: nothing to do.
    if (m_previewReplaceable && m_selectedTextOriginal == read->text && m_selectedTextAppPID == front->pid &&
        m_selectedTranslationKind == kind) {
        finish();
        co_return;
    }

    startSelectionTranslation(*front, *read, *kind);
    finish();
}

std::optional<SelectedTranslationKind> AppModel::selectionKind(const UserSelection& selection)
{
    if (!selection.field) {
        if (!pageTranslationEnabled())
            return std::nullopt;
        if (!hasValidPageLanguagePair()) {
            setStatus(L10n::text(L10N_KEY("请为页面翻译选择不同的源语言和目标语言")));
            return std::nullopt;
        }
        return SelectedTranslationKind::page;
    }
    // In the automatic mode the field as a whole belongs to the input flow.
    if (!inputTranslationEnabled() || inputTranslationMode() != TranslationMode::selection ||
        !hasValidInputLanguagePair())
        return std::nullopt;
    return SelectedTranslationKind::input;
}

void AppModel::startSelectionTranslation(const RunningApplication& app, const UserSelection& selection,
                                         SelectedTranslationKind kind)
{
    abandonSelectionWorkKeepingInputWork();
    // A pending input translation would otherwise put its own preview over this one.
    cancelJob(m_pendingTranslation);

    const QString bundleID = app.bundleID.value_or(QString());
    const TranslationApplication application{bundleID,
                                             app.localizedName.value_or(L10n::text(L10N_KEY("未知应用")))};
    publish(m_previewApplication, application);
    m_selectedTranslationKind = kind;
    m_selectedSelectionElement = selection.element;
    if (kind == SelectedTranslationKind::input) {
        m_selectedInputField = selection.field;
        m_selectedInputRange = selection.range;
        m_selectedInputValue =
            selection.field ? std::optional<QString>(selection.field->value) : std::nullopt;
    } else {
        m_selectedInputField.reset();
        m_selectedInputRange.reset();
        m_selectedInputValue.reset();
    }
    hidePreviewKeepingWork();
    publish(m_previewApplication, application);

    m_selectedTextOriginal = selection.text;
    m_selectedTextAppPID = app.pid;
    publish(m_selectionBounds, selection.bounds);
    publish(m_selectionTranslating, true);
    publish(m_isTranslating, true);
    setStatus(L10n::text(L10N_KEY("正在翻译选中文字…")));
    publish(m_selectionDiagnostic,
            L10n::format(L10N_KEY("已读取选区（长度 %@）"), {QString::number(selection.text.size())}));
    notifyPreviewUpdate();

    SelectionRequest request;
    request.app = app;
    request.bundleID = bundleID;
    request.text = selection.text;
    request.kind = kind;
    request.config = currentProviderConfiguration();
    request.cloudConsent = cloudConsent();
    // A provider whose key could not be read is not asked in the background.
    if (request.cloudConsent && m_pausedCredentialProviders.count(selectedProvider())) {
        abandonSelectionWorkKeepingInputWork();
        return;
    }
    const bool page = kind == SelectedTranslationKind::page;
    request.sourceLanguage = rawValue(page ? pageSourceLanguage() : inputSourceLanguage());
    request.targetLanguage = rawValue(page ? pageTargetLanguage() : inputTargetLanguage());
    request.selectionRevision = m_selectionRevision;

    Job& job = startJob(m_selectedTextTask);
    selectionTranslationJob(job.id, std::move(request), job.cancellation.token());
}

QCoro::Task<void> AppModel::selectionTranslationJob(quint64 jobId, SelectionRequest request,
                                                    CancellationToken token)
{
    const auto alive = m_alive;
    const quint64 revision = request.selectionRevision;
    // Every exit of a job that is still the current one: a job that ended without a result takes
    // its "translating" preview with it.
    const auto close = [this, jobId, revision]() {
        if (m_selectionRevision != revision)
            return;
        if (isCurrent(m_selectedTextTask, jobId))
            m_selectedTextTask.reset();
        if (m_selectionTranslating)
            abandonSelectionWorkKeepingInputWork();
    };

    if (token.isCancelled()) {
        close();
        co_return;
    }
    const bool before = co_await selectionMatches(request.app, request.text, revision, token);
    if (!*alive)
        co_return;
    if (!before || token.isCancelled()) {
        close();
        co_return;
    }

    const TranslationService::TextResult result = co_await m_service.translate(
        request.text, request.config, request.cloudConsent, request.targetLanguage, request.sourceLanguage,
        request.bundleID, true, token);
    if (!*alive)
        co_return;
    if (token.isCancelled()) {
        close();
        co_return;
    }
    // A result is never shown for a selection that changed while it was being translated.
    const bool after = co_await selectionMatches(request.app, request.text, revision, token);
    if (!*alive)
        co_return;
    // A wiped cache makes the result stale; it is not a failure to report.
    if (!after || token.isCancelled() || (!result && result.error().isCancellation())) {
        close();
        co_return;
    }

    if (result)
        showSelectionTranslation(request, result.value());
    else
        showSelectionFailure(result.error());
    close();
}

void AppModel::showSelectionTranslation(const SelectionRequest& request, const QString& translation)
{
    if (request.cloudConsent) {
        std::map<TranslationProvider, CredentialState> states = m_credentialStates;
        states[request.config.provider] = CredentialState::accessible;
        publish(m_credentialStates, std::move(states));
    }
    m_previewReplaceable = true;
    publish(m_serviceFailure, false);
    publish(m_translation, translation);
    publish(m_original, request.text);
    publish(m_selectionPreview, true);
    publish(m_selectionTranslating, false);
    publish(m_showingPreview, true);
    publish(m_isTranslating, false);
    setStatus(request.kind == SelectedTranslationKind::page
                  ? L10n::text(L10N_KEY("页面选区译文就绪；可复制"))
                  : L10n::text(L10N_KEY("输入选区译文就绪；可替换或复制")));
    notifyPreviewUpdate();
}

void AppModel::showSelectionFailure(const TranslationError& error)
{
    recordCredentialFailure(selectedProvider(), error);
    publish(m_serviceFailure, m_pausedCredentialProviders.count(selectedProvider()) == 0);
    const QString message = error.message();
    publish(m_translationErrorMessage, message);
    publish(m_showingError, true);
    publish(m_selectionPreview, true);
    publish(m_selectionTranslating, false);
    publish(m_isTranslating, false);
    // The status line must not keep saying the selection is being translated.
    setStatus(message);
    notifyPreviewUpdate();
}

QCoro::Task<bool> AppModel::selectionMatches(RunningApplication app, QString text, quint64 revision,
                                             CancellationToken token)
{
    const auto alive = m_alive;
    const QString bundleID = app.bundleID.value_or(QString());
    if (!trusted() || m_selectionRevision != revision || !isEligible(bundleID) ||
        m_selectedTextOriginal != text)
        co_return false;

    const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
    const std::optional<UserSelection> read =
        co_await m_ax.selection(app, m_selectedSelectionElement, permit, token);
    if (!*alive || token.isCancelled() || m_selectionRevision != revision)
        co_return false;
    if (!isEligible(bundleID) || m_selectedTextOriginal != text || !read || read->text != text)
        co_return false;
    const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    if (!front || front->pid != app.pid)
        co_return false;
    if (m_selectedTranslationKind == SelectedTranslationKind::page)
        co_return bool(pageTranslationEnabled());
    if (m_selectedTranslationKind == SelectedTranslationKind::input)
        co_return inputTranslationEnabled() && inputTranslationMode() == TranslationMode::selection &&
            read->field&& m_selectedInputField && m_selectedInputField->pid == read->field->pid;
    co_return false;
}

QCoro::Task<bool> AppModel::selectionMatchesCurrentInput(FocusedField field, TextRange range, QString text,
                                                         QString value, CancellationToken token)
{
    const auto alive = m_alive;
    if (!inputTranslationEnabled() || !trusted() || !isEligible(field.bundleID))
        co_return false;
    const AXReadPermit permit = AXReadPermit::issue(m_axAccess);
    const bool valid = co_await m_ax.validateSelection(field, range, text, value, permit, token);
    co_return *alive && !token.isCancelled() && valid;
}

QCoro::Task<void> AppModel::acceptSelectedInputTranslation(quint64 generation, CancellationToken token)
{
    const auto alive = m_alive;
    if (!m_showingPreview || m_selectedTranslationKind != SelectedTranslationKind::input ||
        !m_selectedInputField || !m_selectedInputRange || !m_selectedInputValue) {
        setStatus(L10n::text(L10N_KEY("输入框或选区已变化，已取消替换")));
        abandonSelectionWorkKeepingInputWork();
        co_return;
    }
    const FocusedField field = *m_selectedInputField;
    const TextRange range = *m_selectedInputRange;
    const QString value = *m_selectedInputValue;
    const QString selected = m_original;
    const QString translated = m_translation;

    const bool valid = co_await selectionMatchesCurrentInput(field, range, selected, value, token);
    if (!*alive)
        co_return;
    if (!valid) {
        setStatus(L10n::text(L10N_KEY("输入框或选区已变化，已取消替换")));
        abandonSelectionWorkKeepingInputWork();
        co_return;
    }

    AXReplaceRequest request;
    request.original = selected;
    request.translated = translated;
    request.field = field;
    request.range = range;
    request.expectedValue = value;
    request.clipboardFallbackEnabled = pasteFallback();
    // The user's selection must still be exactly the range that was translated.
    request.requireCurrentSelection = true;
    const AXReadPermit permit{m_axAccess, generation};
    const WriteResult result = co_await m_ax.replace(request, permit, token);
    if (!*alive || token.isCancelled())
        co_return;
    // From here on the outcome is reported whatever happened during the write, as for a
    // whole-field replacement.
    if (!result.isSuccess()) {
        showWriteFailure(result.message(), m_axAccess->current() == generation);
        co_return;
    }
    setStatus(L10n::format(L10N_KEY("已通过%@替换所选文字；未自动发送"), {result.method()}));
    abandonSelectionWorkKeepingInputWork();
    QString written = value;
    written.replace(range.location, range.length, translated);
    ReplacementRecord record;
    record.field = field;
    record.original = value;
    record.translated = written;
    record.selectedOriginal = selected;
    record.selectedTranslated = translated;
    record.selectedLocation = range.location;
    offerRestore(record);
}

void AppModel::invalidateSelectionWriteCapability()
{
    if (!m_selectionPreview || !m_showingPreview) {
        abandonSelectionWorkKeepingInputWork();
        return;
    }
    // The shown translation stays readable and copyable, but the selection it was made for may
    // be gone: it can no longer be written anywhere.
    ++m_selectionRevision;
    m_axAccess->advance();
    cancelJob(m_selectedTextTask);
    m_previewReplaceable = false;
    notifyPreviewUpdate();
}

} // namespace qw
