// Abandoning work: each operation advances what has to be advanced (revision and access
// generation together) so that a job still in flight finds itself stale, then puts the visible
// state back.

#include "engine/TranslationService.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "policy/TextFingerprint.h"

namespace qw {

void AppModel::clearPreview()
{
    publish(m_copiedTranslation, false);
    publish(m_showingPreview, false);
    publish(m_selectionPreview, false);
    publish(m_showingError, false);
    publish(m_translationErrorMessage, QString());
    publish(m_original, QString());
    publish(m_translation, QString());
    publish(m_previewApplication, std::nullopt);
    publish(m_isTranslating, false);
    m_snapshot.reset();
    notifyPreviewUpdate();
}

void AppModel::resetPreview()
{
    advanceRevision();
    cancelJob(m_pendingTranslation);
    clearPreview();
}

void AppModel::recordSuspendedValue()
{
    // The value in the field stays untranslated until the user changes it.
    if (m_currentField)
        m_suspendedValues.insert(m_currentField->bundleID, TextFingerprint::of(m_currentField->value));
}

void AppModel::invalidateInputTranslation()
{
    recordSuspendedValue();
    cancelJob(m_pendingTranslation);
    advanceRevision();
    m_snapshot.reset();
    m_currentField.reset();
    notifyFieldObserved(std::nullopt);
    if (m_selectedTranslationKind == SelectedTranslationKind::input)
        discardSelectionPreview();
    else if (!m_selectedTranslationKind)
        clearPreview();
}

void AppModel::discardPreview()
{
    cancelJob(m_pendingTranslation);
    discardSelectionPreview();
    m_selectedTextAppPID = 0;
    m_selectedTextOriginal.clear();
    publish(m_selectionTranslating, false);
    publish(m_selectionBounds, std::nullopt);
    advanceRevision();
    clearPreview();
    setStatus(L10n::text(L10N_KEY("已关闭本次提示")));
}

void AppModel::invalidateAndRescan()
{
    discardSelectionPreview();
    notifyFieldObserved(std::nullopt);
    m_currentField.reset();
    m_replacement.reset();
    publish(m_hasUndo, false);
    publish(m_showingUndoOffer, false);
    m_suppressedField.reset();
    m_suppressedText.reset();
    resetPreview();
}

void AppModel::resetFocus()
{
    if (m_showingPreview && !m_showingError && m_previewApplication &&
        isEligible(m_previewApplication->bundleID)) {
        // The user may still read or copy a good translation after the focus left; it just can
        // no longer be written anywhere.
        advanceRevision();
        cancelJob(m_pendingTranslation);
        m_snapshot.reset();
        m_currentField.reset();
        m_replacement.reset();
        publish(m_hasUndo, false);
        m_previewReplaceable = false;
        notifyFieldObserved(std::nullopt);
        notifyPreviewUpdate();
        return;
    }
    if (!m_currentField && !m_snapshot && !m_showingPreview && !m_showingError && !m_selectionTranslating)
        return;
    notifyFieldObserved(std::nullopt);
    invalidateAndRescan();
}

void AppModel::invalidateAppWork(const QString& bundleID)
{
    const bool belongs =
        m_currentBundle == bundleID || (m_previewApplication && m_previewApplication->bundleID == bundleID) ||
        (m_snapshot && m_snapshot->field.bundleID == bundleID) ||
        (m_replacement && m_replacement->field.bundleID == bundleID) ||
        (m_currentBundle.isEmpty() && (m_showingPreview || m_selectionPreview || m_isTranslating));
    if (belongs) {
        recordSuspendedValue();
        invalidateAndRescan();
    }
    m_service.clearContent(bundleID);
}

void AppModel::discardSelectionPreview()
{
    if (!m_selectedTextTask && !m_selectionPreview && !m_selectionTranslating)
        return;
    ++m_selectionRevision;
    m_axAccess->advance();
    cancelJob(m_selectedTextTask);
    m_selectedTextOriginal.clear();
    m_selectedTextAppPID = 0;
    publish(m_selectionPreview, false);
    publish(m_selectionTranslating, false);
    publish(m_selectionBounds, std::nullopt);
    m_selectedTranslationKind.reset();
    m_selectedSelectionElement.reset();
    m_selectedInputField.reset();
    m_selectedInputRange.reset();
    m_selectedInputValue.reset();
    clearPreview();
}

} // namespace qw
