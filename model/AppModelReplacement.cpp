// Writing a confirmed translation back, restoring the original, and copying. The other
// application's text is only ever changed after a fresh read shows exactly the expected text,
// and an unconfirmed write is reported, never retried.

#include "accessibility/AXReadPermit.h"
#include "accessibility/AXReplaceRequest.h"
#include "accessibility/AXWorker.h"
#include "core/Delay.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"

#include <chrono>

namespace qw {

namespace {
constexpr std::chrono::milliseconds kCopyFeedback{1500};
}

bool AppModel::canReplacePreview() const
{
    return m_showingPreview && !m_isTranslating && !m_isValidatingReplacement && m_previewReplaceable &&
           (m_selectedTranslationKind == SelectedTranslationKind::input || m_snapshot.has_value());
}

void AppModel::acceptTranslation()
{
    if (!canReplacePreview())
        return;
    publish(m_isValidatingReplacement, true);
    setStatus(L10n::text(L10N_KEY("正在验证输入框…")));
    Job& job = startJob(m_replacementTask);
    replacementJob(job.id, false, job.cancellation.token());
}

void AppModel::undoReplacement()
{
    if (m_isValidatingReplacement || !m_replacement)
        return;
    publish(m_isValidatingReplacement, true);
    setStatus(L10n::text(L10N_KEY("正在验证输入框…")));
    Job& job = startJob(m_replacementTask);
    replacementJob(job.id, true, job.cancellation.token());
}

QCoro::Task<void> AppModel::replacementJob(quint64 jobId, bool restore, CancellationToken token)
{
    const auto alive = m_alive;
    if (restore)
        co_await restoreJob(token);
    else
        co_await acceptJob(token);
    if (!*alive)
        co_return;
    if (isCurrent(m_replacementTask, jobId))
        m_replacementTask.reset();
    publish(m_isValidatingReplacement, false);
    notifyPreviewUpdate();
}

QCoro::Task<void> AppModel::acceptJob(CancellationToken token)
{
    const auto alive = m_alive;
    const quint64 generation = m_axAccess->current();
    if (m_selectedTranslationKind == SelectedTranslationKind::input) {
        co_await acceptSelectedInputTranslation(generation, token);
        co_return;
    }
    const auto fieldChanged = [this] {
        setStatus(L10n::text(L10N_KEY("输入框或文字已变化，请重新翻译")));
        hidePreviewKeepingWork();
    };
    // The write itself checks, in one reading, that the field is still focused and holds
    // exactly the text that was translated, with nothing selected.
    if (m_selectionPreview || !m_showingPreview || !m_snapshot || !snapshotStillWanted(*m_snapshot)) {
        fieldChanged();
        co_return;
    }
    const TranslationSnapshot snapshot = *m_snapshot;
    const QString translated = m_translation;

    AXReplaceRequest request;
    request.original = snapshot.originalText;
    request.translated = translated;
    request.field = snapshot.field;
    request.clipboardFallbackEnabled = pasteFallback();
    request.requireCurrentSelection = false;
    const AXReadPermit permit{m_axAccess, generation};
    const WriteResult result = co_await m_ax.replace(request, permit, token);
    if (!*alive || token.isCancelled())
        co_return;
    // Nothing was written: newer work, if any began meanwhile, owns what the user sees.
    if (result.isFieldChanged()) {
        if (m_axAccess->current() == generation)
            fieldChanged();
        co_return;
    }
    // The user asked for this write: its outcome is reported whatever happened meanwhile. A
    // confirmed write keeps its record and restore offer even when newer work began during it.
    if (!result.isSuccess()) {
        showWriteFailure(result.message(), m_axAccess->current() == generation);
        co_return;
    }
    setStatus(L10n::format(L10N_KEY("已通过%@替换，未自动发送"), {result.method()}));
    cancelJob(m_pendingTranslation);
    hidePreviewKeepingWork();
    ReplacementRecord record;
    record.field = snapshot.field;
    record.original = snapshot.originalText;
    record.translated = translated;
    offerRestore(record);
    advanceRevision();
}

QCoro::Task<void> AppModel::restoreJob(CancellationToken token)
{
    const auto alive = m_alive;
    if (!m_replacement)
        co_return;
    const ReplacementRecord record = *m_replacement;
    const quint64 generation = m_axAccess->current();
    if (!isEligible(record.field.bundleID))
        co_return;

    const AXReadPermit readPermit = AXReadPermit::issue(m_axAccess);
    const AXWorker::Snapshot read = co_await m_ax.snapshot(record.field, readPermit, token);
    if (!*alive || m_axAccess->current() != generation)
        co_return;
    // Only the exact text that was written may be replaced by the original.
    if (!read.stillFocused || read.value != record.translated) {
        setStatus(L10n::text(L10N_KEY("输入内容或焦点已变化，已取消恢复以保护文字")));
        co_return;
    }

    AXReplaceRequest request;
    request.field = record.field;
    request.clipboardFallbackEnabled = pasteFallback();
    request.requireCurrentSelection = false;
    if (record.isSelectionReplacement()) {
        request.original = *record.selectedTranslated;
        request.translated = *record.selectedOriginal;
        request.range = TextRange{*record.selectedLocation, record.selectedTranslated->size()};
        request.expectedValue = record.translated;
    } else {
        request.original = record.translated;
        request.translated = record.original;
    }
    const AXReadPermit writePermit{m_axAccess, generation};
    const WriteResult result = co_await m_ax.replace(request, writePermit, token);
    if (!*alive || token.isCancelled())
        co_return;
    // Reported whatever happened during the write, like the accept.
    if (!result.isSuccess()) {
        setStatus(L10n::format(L10N_KEY("恢复失败：%@"), {result.message()}));
        co_return;
    }
    m_replacement.reset();
    publish(m_hasUndo, false);
    publish(m_showingUndoOffer, false);
    // The restored text is not translated again until the user edits it.
    m_suppressedField = record.field;
    m_suppressedText = record.original;
    cancelJob(m_pendingTranslation);
    hidePreviewKeepingWork();
    advanceRevision();
    setStatus(record.isSelectionReplacement() ? L10n::text(L10N_KEY("已恢复选区文字；再次编辑后可继续翻译"))
                                              : L10n::text(L10N_KEY("已恢复原文；编辑后才会重新翻译")));
}

void AppModel::copyTranslation()
{
    if (!m_showingPreview || m_translation.isEmpty())
        return;
    if (!m_copyText || !m_copyText(m_translation)) {
        setStatus(L10n::text(L10N_KEY("复制失败，请重试")));
        return;
    }
    setStatus(L10n::text(L10N_KEY("译文已复制；未修改输入框")));
    publish(m_copiedTranslation, true);
    Job& job = startJob(m_copyFeedbackTask);
    copyFeedbackJob(job.id, job.cancellation.token());
}

QCoro::Task<void> AppModel::copyFeedbackJob(quint64 jobId, CancellationToken token)
{
    const auto alive = m_alive;
    const bool elapsed = co_await delay(m_timers, kCopyFeedback, token);
    if (!*alive || !elapsed || !isCurrent(m_copyFeedbackTask, jobId))
        co_return;
    m_copyFeedbackTask.reset();
    publish(m_copiedTranslation, false);
}

void AppModel::offerRestore(const ReplacementRecord& record)
{
    m_replacement = record;
    publish(m_hasUndo, true);
    // The bubble stays for the restore offer.
    publish(m_previewApplication, TranslationApplication{record.field.bundleID, record.field.appName});
    publish(m_showingUndoOffer, true);
    notifyPreviewUpdate();
}

void AppModel::showWriteFailure(const QString& message, bool ownsPreview)
{
    setStatus(message);
    // Work that began during the write owns the preview; otherwise the preview stays so the
    // user may copy it. The write is not tried again by itself.
    if (!ownsPreview)
        return;
    publish(m_translationErrorMessage, message);
    publish(m_showingError, true);
    notifyPreviewUpdate();
}

} // namespace qw
