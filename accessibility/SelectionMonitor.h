#pragma once

#include "accessibility/adapters/GlobalMouseMonitor.h"
#include "core/TimerSource.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace qw {

// Watches left-button presses and releases in every application: a release may end a text
// selection (reported 230 ms after the last release, so a double click gives one report), a
// press means the user clicked elsewhere and cancels a pending report. Main thread only.
class SelectionMonitor {
public:
    static constexpr std::chrono::milliseconds settleDelay{230};

    SelectionMonitor(GlobalMouseMonitor& mouse, TimerSource& timers);
    ~SelectionMonitor();
    SelectionMonitor(const SelectionMonitor&) = delete;
    SelectionMonitor& operator=(const SelectionMonitor&) = delete;

    void setOnSelectionFinished(std::function<void()> callback)
    {
        m_onSelectionFinished = std::move(callback);
    }
    void setOnMouseDownOutside(std::function<void()> callback) { m_onMouseDownOutside = std::move(callback); }

    void start(); // idempotent
    void stop();
    bool isStarted() const { return m_mouseUpObserver != 0; }

private:
    void cancelScheduled();
    void mouseDown();
    void mouseUp();

    GlobalMouseMonitor& m_mouse;
    TimerSource& m_timers;
    GlobalMouseMonitor::Handle m_mouseUpObserver = 0;
    GlobalMouseMonitor::Handle m_mouseDownObserver = 0;
    std::optional<TimerSource::TimerId> m_scheduled;
    std::function<void()> m_onSelectionFinished;
    std::function<void()> m_onMouseDownOutside;
    // Handlers and the delayed job hold this weakly and do nothing once the monitor is gone.
    std::shared_ptr<SelectionMonitor*> m_self;
};

} // namespace qw
