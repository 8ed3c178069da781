#pragma once

#include "accessibility/FocusedField.h"
#include "accessibility/adapters/AccessibilityAPI.h"
#include "accessibility/adapters/AccessibilityObserverFactory.h"
#include "accessibility/adapters/RunningApplication.h"
#include "core/TimerSource.h"

#include <functional>
#include <memory>
#include <optional>

namespace qw {

// Turns the frontmost allowed application's focus changes and the focused field's value
// changes into a main-thread `onUpdate` that only says "something changed"; the controller
// reads the focus again itself. A periodic scan runs beside it, so a missing notification only
// slows detection down. Main thread only.
class AXFocusMonitor {
public:
    AXFocusMonitor(AccessibilityAPI& accessibility, AccessibilityObserverFactory& observers,
                   TimerSource& timers);
    ~AXFocusMonitor();
    AXFocusMonitor(const AXFocusMonitor&) = delete;
    AXFocusMonitor& operator=(const AXFocusMonitor&) = delete;

    void setOnUpdate(std::function<void()> callback) { m_onUpdate = std::move(callback); }

    // Follows the frontmost application when it is allowed; stops otherwise.
    void watch(const std::optional<RunningApplication>& application, bool allowed);
    // Moves the value-change registration to the field the controller has just read.
    void watch(const std::optional<FocusedField>& field);
    void stop();

    // Whether the events cover the watched field and none arrived since the last call: the
    // application's focus changes and the field's value changes are both registered. The scan
    // trusts such a field to be unchanged and skips reading it. Asking clears the record.
    bool takeQuiet();
    // A read of the focus starts now: every event so far is covered by it, so the next scan
    // need not read again for them.
    void noteReadStarted() { m_changed = false; }

    const QString& status() const { return m_status; }
    qint32 trackedPID() const { return m_trackedPID; }

private:
    void handleNotification();

    AccessibilityAPI& m_accessibility;
    AccessibilityObserverFactory& m_observers;
    TimerSource& m_timers;
    std::unique_ptr<AccessibilityObserver> m_observer;
    std::optional<AccessibilityElement> m_applicationElement;
    std::optional<AccessibilityElement> m_fieldElement;
    qint32 m_trackedPID = 0;
    // What deferred callbacks hold instead of the monitor: they do nothing once it is gone.
    std::shared_ptr<AXFocusMonitor*> m_callbackContext;
    std::function<void()> m_onUpdate;
    QString m_status;
    bool m_focusEvents = false;
    bool m_valueEvents = false;
    // Something may have changed since the last takeQuiet(): an event, or another field.
    bool m_changed = true;
};

} // namespace qw
