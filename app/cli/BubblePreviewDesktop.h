#pragma once

#include "accessibility/adapters/AXErrorCode.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "accessibility/adapters/AccessibilityAPI.h"
#include "accessibility/adapters/Clipboard.h"
#include "accessibility/adapters/KeyEventPoster.h"
#include "accessibility/adapters/PointerLocator.h"
#include "accessibility/adapters/WorkerSleeper.h"
#include "accessibility/adapters/Workspace.h"

#include <mutex>

namespace qw {

// The desktop `bubble-preview` shows the application model: one allowed application whose
// focused text area holds a sample text (or whose page shows it, selected), so the model reaches a real
// preview, error or replacement without reading or writing any other program. The field has no position: the
// panel opens next to the pointer. Read from the model's worker thread, hence the lock.
class BubblePreviewDesktop : public AccessibilityAPI,
                             public Workspace,
                             public PointerLocator,
                             public Clipboard,
                             public KeyEventPoster,
                             public WorkerSleeper {
public:
    // With `selected` the element is text on a page, selected with the mouse, and nothing has
    // the keyboard focus.
    // `bounds`: where the element is on the screen, if anywhere.
    BubblePreviewDesktop(QString bundleID, QString text, bool selected, std::optional<QRectF> bounds)
        : m_bundleID(std::move(bundleID)), m_text(std::move(text)), m_selected(selected), m_bounds(bounds)
    {
    }

    static AccessibilityElement fieldElement() { return AccessibilityElement(field()); }

    static constexpr qint32 pid = 4242;

    // AccessibilityAPI
    bool isProcessTrusted() const override { return true; }
    AccessibilityElement applicationElement(qint32) override { return AccessibilityElement(application()); }
    AccessibilityElement systemWideElement() override
    {
        return AccessibilityElement(QStringLiteral("system"));
    }
    void setMessagingTimeout(const AccessibilityElement&, std::chrono::milliseconds) override {}
    AttributeResult copyAttributeValue(const AccessibilityElement& element, const QString& attribute) override
    {
        std::lock_guard lock(m_mutex);
        if (attribute == AXAttribute::focusedUIElement)
            return m_selected ? AttributeResult{AXErrorCode::noValue, {}}
                              : AttributeResult{AXErrorCode::success, AccessibilityElement(field())};
        if (element.identity() != field())
            return {AXErrorCode::noValue, {}};
        if (attribute == AXAttribute::role)
            return {AXErrorCode::success, m_selected ? AXRole::staticText : AXRole::textArea};
        if (attribute == AXAttribute::value)
            return {AXErrorCode::success, m_text};
        if (attribute == AXAttribute::selectedTextRange)
            return {AXErrorCode::success,
                    m_selected ? TextRange{0, m_text.size()} : TextRange{m_text.size(), 0}};
        if (attribute == AXAttribute::selectedText)
            return {AXErrorCode::success, m_selected ? m_text : QString()};
        if (attribute == AXAttribute::position && m_bounds)
            return {AXErrorCode::success, m_bounds->topLeft()};
        if (attribute == AXAttribute::size && m_bounds)
            return {AXErrorCode::success, m_bounds->size()};
        if (attribute == AXAttribute::editable)
            return {AXErrorCode::success, !m_selected};
        return {AXErrorCode::noValue, {}};
    }
    SettableResult isAttributeSettable(const AccessibilityElement& element, const QString& attribute) override
    {
        const bool settable = element.identity() == field() && (attribute == AXAttribute::value ||
                                                                attribute == AXAttribute::selectedTextRange);
        return {AXErrorCode::success, settable};
    }
    int setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                          const AttributeValue& value) override
    {
        std::lock_guard lock(m_mutex);
        const QString* text = std::get_if<QString>(&value);
        if (element.identity() != field())
            return AXErrorCode::attributeUnsupported;
        if (attribute == AXAttribute::selectedTextRange)
            return AXErrorCode::success;
        if (attribute != AXAttribute::value || !text)
            return AXErrorCode::attributeUnsupported;
        m_text = *text;
        m_selected = false;
        return AXErrorCode::success;
    }
    ProcessIdResult processId(const AccessibilityElement&) override { return {AXErrorCode::success, pid}; }
    ElementResult elementAtPosition(const AccessibilityElement&, QPointF) override
    {
        return {AXErrorCode::noValue, {}};
    }

    // Workspace
    QStringList applicationsOpeningHttpsUrls() const override { return {}; }
    std::optional<RunningApplication> frontmostApplication() const override
    {
        return RunningApplication{pid, m_bundleID, QStringLiteral("Quillweave"), std::nullopt, false};
    }
    bool isTerminated(const RunningApplication&) const override { return false; }
    bool pathExists(const QString&) const override { return false; }

    // PointerLocator
    std::optional<QPointF> pointerLocation() const override { return std::nullopt; }

    // Clipboard: the sample's copy button goes nowhere.
    int itemCount() const override { return 0; }
    QStringList types(int) const override { return {}; }
    std::optional<QByteArray> data(int, const QString&) const override { return std::nullopt; }
    void clear() override {}
    bool setString(const QString&) override { return false; }
    bool writeItems(const QList<ClipboardItem>&) override { return false; }
    qint64 changeCount() const override { return 0; }

    // KeyEventPoster
    bool post(const QList<KeyEvent>&) override { return false; }

    // WorkerSleeper
    void sleep(std::chrono::milliseconds) override {}

private:
    static QString application() { return QStringLiteral("application"); }
    static QString field() { return QStringLiteral("field"); }

    mutable std::mutex m_mutex;
    QString m_bundleID;
    QString m_text;
    bool m_selected = false;
    std::optional<QRectF> m_bounds;
};

} // namespace qw
