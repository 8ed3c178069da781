#pragma once

#include "accessibility/adapters/AccessibilityAPI.h"
#include "accessibility/adapters/Clipboard.h"
#include "accessibility/adapters/KeyEventPoster.h"
#include "accessibility/adapters/PointerLocator.h"
#include "accessibility/adapters/WorkerSleeper.h"
#include "accessibility/adapters/Workspace.h"

#include <functional>

namespace qw {

// The desktop as the command line shows it to the application model: no frontmost
// application, no accessible element, no pointer, a clipboard that refuses writes and keys
// that are never posted. The command-line tasks (keys, provider, consent, allow list) never
// need to read another application, so nothing of one can be read by accident. Only the
// question of which applications open https links is answered for real, because allowing a
// browser must still ask for its confirmation.
class InertDesktop : public AccessibilityAPI,
                     public Workspace,
                     public PointerLocator,
                     public Clipboard,
                     public KeyEventPoster,
                     public WorkerSleeper {
public:
    explicit InertDesktop(std::function<QStringList()> httpsHandlers = {})
        : m_httpsHandlers(std::move(httpsHandlers))
    {
    }

    // AccessibilityAPI
    bool isProcessTrusted() const override { return false; }
    AccessibilityElement applicationElement(qint32) override { return {}; }
    AccessibilityElement systemWideElement() override { return {}; }
    void setMessagingTimeout(const AccessibilityElement&, std::chrono::milliseconds) override {}
    AttributeResult copyAttributeValue(const AccessibilityElement&, const QString&) override
    {
        return {AXErrorCode::apiDisabled, {}};
    }
    SettableResult isAttributeSettable(const AccessibilityElement&, const QString&) override
    {
        return {AXErrorCode::apiDisabled, false};
    }
    int setAttributeValue(const AccessibilityElement&, const QString&, const AttributeValue&) override
    {
        return AXErrorCode::apiDisabled;
    }
    ProcessIdResult processId(const AccessibilityElement&) override { return {AXErrorCode::apiDisabled, 0}; }
    ElementResult elementAtPosition(const AccessibilityElement&, QPointF) override
    {
        return {AXErrorCode::apiDisabled, {}};
    }

    // Workspace
    QStringList applicationsOpeningHttpsUrls() const override
    {
        return m_httpsHandlers ? m_httpsHandlers() : QStringList();
    }
    std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
    bool isTerminated(const RunningApplication&) const override { return true; }
    bool pathExists(const QString&) const override { return false; }

    // PointerLocator
    std::optional<QPointF> pointerLocation() const override { return std::nullopt; }

    // Clipboard
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
    std::function<QStringList()> m_httpsHandlers;
};

} // namespace qw
