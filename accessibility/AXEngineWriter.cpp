// The writing half of AXEngine: puts a confirmed translation into another application's field
// and reads it back. Nothing is written unless a read just before still shows exactly what the
// user confirmed, and a write that cannot be confirmed is reported, never retried.
#include "accessibility/AXEngine.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "policy/SelectionRules.h"
#include "policy/TextPolicy.h"

#include <utility>

namespace qw {

namespace {

QString accessibilityChannel()
{
    return L10n::text(L10N_KEY("辅助功能接口"));
}

QString clipboardChannel()
{
    return L10n::text(L10N_KEY("剪贴板兼容模式"));
}

WriteResult cancelled()
{
    return WriteResult::failure(L10n::text(L10N_KEY("操作已取消；未执行替换")));
}

// Someone copied after the translation went on the clipboard: a paste now would put their
// content into the field, and their content is newer than the user's, so it stays.
WriteResult clipboardTaken()
{
    return WriteResult::failure(L10n::text(L10N_KEY("剪贴板已被其他程序改动，已停止粘贴")));
}

} // namespace

std::optional<QString> AXEngine::readBack(const AccessibilityElement& element)
{
    // What was written must be learnt whatever happened meanwhile: a revoked permit or a
    // cancelled job stops a write that has not happened, never the confirmation of one that
    // has. The deadline and the element's time-out still bound the read.
    const std::function<bool()> authorizeRead = std::exchange(m_authorizeRead, [] { return true; });
    const CancellationToken cancellation = std::exchange(m_cancellation, CancellationToken());
    std::optional<QString> value = readString(AXAttribute::value, element);
    m_authorizeRead = authorizeRead;
    m_cancellation = cancellation;
    return value;
}

bool AXEngine::writeGuard()
{
    return m_authorizeWrite() && !m_cancellation.isCancelled() && m_authorizeRead() &&
           m_platform.clock.now() < m_deadline;
}

WriteResult AXEngine::replaceEntireValue(const QString& originalText, const QString& translated,
                                         const FocusedField& field, bool clipboardFallbackEnabled)
{
    const AccessibilityElement& element = field.element;
    const auto changed = [] {
        return WriteResult::fieldChanged(L10n::text(L10N_KEY("当前焦点或文本已变化；未执行替换")));
    };
    if (!writeGuard() || !isStillFocused(field))
        return changed();
    const TextState text = readTextState(element);
    if (!text.value || *text.value != originalText)
        return changed();
    // A selection inside the field means the user is editing part of it: replacing the whole
    // value would throw that away.
    if (text.selectedLength && *text.selectedLength != 0)
        return changed();
    if (!TextPolicy::isAllowed(originalText) || translated.isEmpty())
        return WriteResult::failure(L10n::text(L10N_KEY("文本不符合安全替换规则")));

    if (isSettable(AXAttribute::value, element)) {
        if (!writeGuard())
            return cancelled();
        applyTimeout(element);
        const int error = m_platform.accessibility.setAttributeValue(element, AXAttribute::value,
                                                                     AttributeValue(translated));
        const auto after =
            error == AXErrorCode::success ? awaitWrittenValue(element, translated) : readBack(element);
        if (after == translated)
            return WriteResult::success(accessibilityChannel());
        if (after != originalText) {
            // Some third text (or nothing readable): the field is no longer what the user saw,
            // so pasting over it would destroy unknown content.
            return WriteResult::failure(L10n::text(L10N_KEY("目标应用未确认写入结果；请检查当前输入框")));
        }
    }
    if (clipboardFallbackEnabled)
        return pasteFallback(originalText, translated, field);
    return WriteResult::failure(
        L10n::text(L10N_KEY("该输入框不支持直接修改。可在设置中开启剪贴板兼容模式再试")));
}

WriteResult AXEngine::pasteFallback(const QString& original, const QString& translated,
                                    const FocusedField& field)
{
    const AccessibilityElement& element = field.element;
    const TextRange whole{0, original.size()};
    const auto unsafe = [] {
        return WriteResult::failure(L10n::text(L10N_KEY("此应用不支持安全地选中完整输入内容；已停止粘贴")));
    };
    if (!isStillFocused(field) || !writeGuard())
        return unsafe();
    applyTimeout(element);
    if (m_platform.accessibility.setAttributeValue(element, AXAttribute::selectedTextRange,
                                                   AttributeValue(whole)) != AXErrorCode::success ||
        !awaitSelectedRange(whole, element) || readString(AXAttribute::value, element) != original)
        return unsafe();

    const QList<ClipboardItem> saved = duplicateClipboardItems();
    if (!placeOnClipboard(translated, saved))
        return WriteResult::failure(L10n::text(L10N_KEY("无法写入系统剪贴板")));
    const qint64 placed = m_platform.clipboard.changeCount();

    // Placing the clipboard takes a while: a click in the field meanwhile moves the caret, and
    // the paste would land beside the text instead of over it. The focus is looked at last, as
    // close to the keys as can be: they go wherever it is.
    if (readString(AXAttribute::value, element) != original || selectedRange(element) != whole ||
        !isStillFocused(field)) {
        restoreClipboard(saved, placed);
        return WriteResult::failure(L10n::text(L10N_KEY("焦点或文字已变化，取消粘贴")));
    }
    if (!writeGuard()) {
        restoreClipboard(saved, placed);
        return cancelled();
    }
    if (!stillOurs(placed))
        return clipboardTaken();
    // The paste was delivered: its outcome is read back even when the permit was revoked during
    // the pause, and the clipboard is put back either way.
    const auto after = pasteAndReadBack(element, translated);
    restoreClipboard(saved, placed);
    if (after == translated)
        return WriteResult::success(clipboardChannel());
    return WriteResult::failure(L10n::text(L10N_KEY("未能验证粘贴结果，请检查输入框；不会自动重试")));
}

WriteResult AXEngine::replaceSelectedText(const QString& original, const QString& translated,
                                          const FocusedField& field, const QString& expectedValue,
                                          const TextRange& range, bool clipboardFallbackEnabled,
                                          bool requireCurrentSelection)
{
    const AccessibilityElement& element = field.element;
    const auto changed = [] {
        return WriteResult::failure(L10n::text(L10N_KEY("输入框、选区或内容已变化；未执行替换")));
    };
    if (!writeGuard() || translated.isEmpty() || !isStillFocused(field))
        return changed();
    const auto value = readString(AXAttribute::value, element);
    if (!value || *value != expectedValue ||
        SelectionRules::substring(*value, range.location, range.length) != original)
        return changed();

    QString expectedResult = expectedValue;
    expectedResult.replace(range.location, range.length, translated);

    if (selectedRange(element) != range) {
        // Replacing what the user selected must never move the user's selection; only a
        // restore may select the range it wrote before.
        if (requireCurrentSelection)
            return WriteResult::failure(L10n::text(L10N_KEY("当前选区已变化；未执行替换")));
        if (!writeGuard())
            return cancelled();
        applyTimeout(element);
        if (m_platform.accessibility.setAttributeValue(element, AXAttribute::selectedTextRange,
                                                       AttributeValue(range)) != AXErrorCode::success ||
            !awaitSelectedRange(range, element))
            return WriteResult::failure(L10n::text(L10N_KEY("无法安全选中原译文位置；已停止恢复")));
    }

    if (!writeGuard())
        return cancelled();
    applyTimeout(element);
    const int error = m_platform.accessibility.setAttributeValue(element, AXAttribute::selectedText,
                                                                 AttributeValue(translated));
    const auto after =
        error == AXErrorCode::success ? awaitWrittenValue(element, expectedResult) : readBack(element);
    if (after == expectedResult)
        return WriteResult::success(accessibilityChannel());
    if (after != expectedValue)
        return WriteResult::failure(L10n::text(L10N_KEY("目标应用未确认选区写入结果；请检查输入框")));

    const auto unsupported = [] {
        return WriteResult::failure(L10n::text(L10N_KEY("该应用不支持安全地修改选区；已停止替换")));
    };
    if (!clipboardFallbackEnabled)
        return unsupported();
    if (!writeGuard())
        return unsupported();
    applyTimeout(element);
    if (m_platform.accessibility.setAttributeValue(element, AXAttribute::selectedTextRange,
                                                   AttributeValue(range)) != AXErrorCode::success ||
        !awaitSelectedRange(range, element) || !isStillFocused(field) ||
        readString(AXAttribute::value, element) != expectedValue)
        return unsupported();

    const QList<ClipboardItem> saved = duplicateClipboardItems();
    if (!placeOnClipboard(translated, saved))
        return WriteResult::failure(L10n::text(L10N_KEY("无法写入系统剪贴板")));
    const qint64 placed = m_platform.clipboard.changeCount();

    if (!isStillFocused(field) || readString(AXAttribute::value, element) != expectedValue ||
        !verifySelectedRange(range, element)) {
        restoreClipboard(saved, placed);
        return WriteResult::failure(L10n::text(L10N_KEY("焦点或选区已变化，取消替换")));
    }
    if (!writeGuard()) {
        restoreClipboard(saved, placed);
        return cancelled();
    }
    if (!stillOurs(placed))
        return clipboardTaken();
    const auto pasted = pasteAndReadBack(element, expectedResult);
    restoreClipboard(saved, placed);
    if (pasted == expectedResult)
        return WriteResult::success(clipboardChannel());
    return WriteResult::failure(L10n::text(L10N_KEY("未能验证选区替换结果，请检查输入框")));
}

bool AXEngine::mayPauseAgain(std::chrono::milliseconds waited, std::chrono::milliseconds limit) const
{
    return waited < limit && m_platform.clock.now().addMSecs(settlePause.count()) < m_deadline;
}

bool AXEngine::awaitSelectedRange(const TextRange& expected, const AccessibilityElement& element)
{
    // Firefox answers the selection call at once and shows the new range only once its page's
    // process has applied it; until then it reports the old range or none.
    // A busy browser may not answer at all for a while: only a range it does report ends the
    // wait before the deadline.
    std::chrono::milliseconds waited{0};
    for (auto range = readRange(element); range != expected; range = readRange(element)) {
        if (!mayPauseAgain(waited, range ? selectionTakeLimit : std::chrono::milliseconds::max()) ||
            !writeGuard())
            return false;
        m_platform.sleeper.sleep(settlePause);
        waited += settlePause;
    }
    return true;
}

std::optional<QString> AXEngine::awaitWrittenValue(const AccessibilityElement& element,
                                                   const QString& expected)
{
    // A browser answers a text write at once and applies it, if at all, in its page's process:
    // until then the field shows the old text or, for a moment, nothing readable. Once the write
    // was accepted, what it leads to is learnt whatever happens to the permit meanwhile: only
    // the deadline bounds these reads, and only a text it does show ends the wait before it.
    std::optional<QString> value = readBack(element);
    std::chrono::milliseconds waited{0};
    while (value != expected &&
           mayPauseAgain(waited, value ? textWriteTakeLimit : std::chrono::milliseconds::max())) {
        m_platform.sleeper.sleep(settlePause);
        waited += settlePause;
        value = readBack(element);
    }
    return value;
}

std::optional<QString> AXEngine::pasteAndReadBack(const AccessibilityElement& element,
                                                  const QString& expected)
{
    postCommandV();
    // A browser takes the text from the clipboard a moment later, in another process: until the
    // field shows it, the clipboard must keep the translation (put back earlier, the paste
    // would insert the user's old content). So the value is read again after each pause until
    // it shows the paste or the write's deadline leaves no room for another pause.
    std::optional<QString> value;
    std::chrono::milliseconds waited{0};
    do {
        m_platform.sleeper.sleep(pasteSettleTime);
        waited += pasteSettleTime;
        value = readBack(element);
    } while (value != expected && waited < pasteTakeLimit &&
             m_platform.clock.now().addMSecs(pasteSettleTime.count()) < m_deadline);
    return value;
}

void AXEngine::postCommandV()
{
    const QList<KeyEvent> pair{{Qt::Key_V, Qt::ControlModifier, true},
                               {Qt::Key_V, Qt::ControlModifier, false}};
    // When the events cannot be made nothing is posted; the read-back then reports the paste
    // as unverified.
    m_platform.keys.post(pair);
}

QList<ClipboardItem> AXEngine::duplicateClipboardItems() const
{
    QList<ClipboardItem> items;
    const int count = m_platform.clipboard.itemCount();
    for (int index = 0; index < count; ++index) {
        ClipboardItem copy;
        for (const QString& type : m_platform.clipboard.types(index)) {
            if (auto data = m_platform.clipboard.data(index, type))
                copy.representations.append({type, *data});
        }
        items.append(copy);
    }
    return items;
}

bool AXEngine::placeOnClipboard(const QString& text, const QList<ClipboardItem>& saved)
{
    m_platform.clipboard.clear();
    if (m_platform.clipboard.setString(text))
        return true;
    m_platform.clipboard.clear();
    if (!saved.isEmpty())
        m_platform.clipboard.writeItems(saved);
    return false;
}

bool AXEngine::stillOurs(qint64 changeCountAfterPlacing) const
{
    return m_platform.clipboard.changeCount() == changeCountAfterPlacing;
}

void AXEngine::restoreClipboard(const QList<ClipboardItem>& saved, qint64 changeCountAfterPlacing)
{
    // Someone copied something after our text went on the clipboard: their content is newer
    // than the user's old items and must not be overwritten.
    if (m_platform.clipboard.changeCount() != changeCountAfterPlacing)
        return;
    m_platform.clipboard.clear();
    if (!saved.isEmpty())
        m_platform.clipboard.writeItems(saved);
}

} // namespace qw
