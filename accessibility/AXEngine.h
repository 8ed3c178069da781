#pragma once

#include "accessibility/FocusedField.h"
#include "accessibility/UserSelection.h"
#include "accessibility/WriteResult.h"
#include "accessibility/adapters/AXPlatform.h"
#include "accessibility/adapters/ClipboardItem.h"
#include "core/CancellationToken.h"

#include <QDateTime>
#include <chrono>
#include <functional>
#include <optional>

namespace qw {

// The one object that talks to the accessibility interface on behalf of the whole program:
// the reading half finds the focused editable field or a selection of another application,
// the writing half (AXEngineWriter.cpp) puts a confirmed translation back and verifies it.
//
// Not thread-safe: owned by AXWorker and used only on its thread. Every step passes a guard
// (not cancelled, read authorized, before the deadline) and gives the element it queries a
// 0.12-second messaging time-out, so a read never outlives its deadline by more than one
// element time-out.
class AXEngine {
public:
    using UserSelection = qw::UserSelection;
    using WriteResult = qw::WriteResult;

    static constexpr std::chrono::milliseconds elementTimeout{120};
    static constexpr std::chrono::milliseconds wakeUpInterval{3000};
    static constexpr std::chrono::milliseconds pasteSettleTime{140};
    // How long a paste may take to show in the field (a browser takes it in another process).
    static constexpr std::chrono::milliseconds pasteTakeLimit{1400};
    // How long a written text or a selected range may take to show (a browser applies it in
    // its page's process), read again after each short pause.
    static constexpr std::chrono::milliseconds settlePause{50};
    static constexpr std::chrono::milliseconds textWriteTakeLimit{400};
    static constexpr std::chrono::milliseconds selectionTakeLimit{1000};
    static constexpr int fieldWalkLimit = 4;
    static constexpr int selectionWalkLimit = 5;

    explicit AXEngine(AXPlatform platform);

    // --- Set by AXWorker around each operation ---
    void setDeadline(const QDateTime& deadline) { m_deadline = deadline; }
    const QDateTime& deadline() const { return m_deadline; }
    void setAuthorizeRead(std::function<bool()> authorize) { m_authorizeRead = std::move(authorize); }
    void setAuthorizeWrite(std::function<bool()> authorize) { m_authorizeWrite = std::move(authorize); }
    void setCancellation(CancellationToken token) { m_cancellation = std::move(token); }
    // Back to always-true callbacks and no cancellation, as between operations.
    void resetAuthorization();
    const QString& lastDiagnostic() const { return m_lastDiagnostic; }
    QDateTime currentTime() const { return m_platform.clock.now(); }

    // --- Reading ---
    void prepareAccessibility(const RunningApplication& app);
    std::optional<AccessibilityElement> focusedElement(const RunningApplication& app);
    std::optional<FocusedField> focusedField(const RunningApplication& app);
    std::optional<QString> selectedText(const AccessibilityElement& element);
    std::optional<UserSelection>
    userSelectedText(const RunningApplication& app,
                     const std::optional<AccessibilityElement>& preferredElement);
    bool isStillFocused(const FocusedField& field);

    // Guarded attribute readers: none (or false) when the guard fails or the read does.
    std::optional<AttributeResult> readAttribute(const QString& attribute,
                                                 const AccessibilityElement& element);
    template <class T>
    std::optional<T> readTyped(const QString& attribute, const AccessibilityElement& element);
    std::optional<QString> readString(const QString& attribute, const AccessibilityElement& element);
    std::optional<bool> readBoolean(const QString& attribute, const AccessibilityElement& element);
    std::optional<QPointF> readPoint(const QString& attribute, const AccessibilityElement& element);
    std::optional<QSizeF> readSize(const QString& attribute, const AccessibilityElement& element);
    bool isSettable(const QString& attribute, const AccessibilityElement& element);
    // The selection when it is a real one (location ≥ 0, length ≥ 1).
    std::optional<TextRange> selectedRange(const AccessibilityElement& element);
    bool verifySelectedRange(const TextRange& expected, const AccessibilityElement& element);
    // The value and the selection's length (0 for a bare caret) from one reading of the text.
    struct TextState {
        std::optional<QString> value;
        std::optional<qsizetype> selectedLength;
    };
    TextState readTextState(const AccessibilityElement& element);

    // --- Writing ---
    WriteResult replaceEntireValue(const QString& originalText, const QString& translated,
                                   const FocusedField& field, bool clipboardFallbackEnabled);
    WriteResult replaceSelectedText(const QString& original, const QString& translated,
                                    const FocusedField& field, const QString& expectedValue,
                                    const TextRange& range, bool clipboardFallbackEnabled,
                                    bool requireCurrentSelection);
    WriteResult pasteFallback(const QString& original, const QString& translated, const FocusedField& field);
    // Posts the platform's paste shortcut (Ctrl+V on Linux) as one key-down/key-up pair.
    void postCommandV();

private:
    bool guard();
    bool writeGuard();
    // The value read back after a write: bounded by the deadline only, not by the permit.
    std::optional<QString> readBack(const AccessibilityElement& element);
    // Posts the paste keystroke and reads the value until it equals `expected`, within the deadline.
    std::optional<QString> pasteAndReadBack(const AccessibilityElement& element, const QString& expected);
    // Whether the field shows `expected` as its selection, read again after short pauses while
    // it shows another, within selectionTakeLimit, and while it shows none, within the deadline.
    bool awaitSelectedRange(const TextRange& expected, const AccessibilityElement& element);
    // The value read back after a text write that reported success, read again after short
    // pauses until it is `expected`: while it is another text within textWriteTakeLimit, while
    // it cannot be read within the write's deadline.
    std::optional<QString> awaitWrittenValue(const AccessibilityElement& element, const QString& expected);
    // Whether one more settle pause fits: `waited` is below `limit` and the pause ends before
    // the deadline.
    bool mayPauseAgain(std::chrono::milliseconds waited, std::chrono::milliseconds limit) const;
    void applyTimeout(const AccessibilityElement& element);
    std::optional<TextRange> readRange(const AccessibilityElement& element);
    std::optional<QRectF> boundsOf(const AccessibilityElement& element);
    // The parent of `element` for an upward walk, or none when the walk has to end.
    std::optional<AccessibilityElement> parentOf(const AccessibilityElement& element);
    std::optional<qint32> pidOf(const AccessibilityElement& element);
    bool isElectron(const QString& bundleLocation) const;
    // Whether `element` is a password field or the like, whose text is never read or walked past.
    bool isProtected(const AccessibilityElement& element);

    QList<ClipboardItem> duplicateClipboardItems() const;
    // Clears the clipboard and puts `text` on it; on refusal puts `saved` back and says so.
    bool placeOnClipboard(const QString& text, const QList<ClipboardItem>& saved);
    void restoreClipboard(const QList<ClipboardItem>& saved, qint64 changeCountAfterPlacing);
    // Whether the clipboard still holds what was placed: the synthetic paste pastes whatever is there.
    bool stillOurs(qint64 changeCountAfterPlacing) const;

    AXPlatform m_platform;
    QDateTime m_deadline;
    std::function<bool()> m_authorizeRead;
    std::function<bool()> m_authorizeWrite;
    CancellationToken m_cancellation;
    QString m_lastDiagnostic;
    std::optional<RunningApplication> m_preparedApplication;
    bool m_accessibilityReady = false;
    QDateTime m_lastPreparation;
};

} // namespace qw
