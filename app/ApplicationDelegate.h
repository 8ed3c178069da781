#pragma once

#include "app/ProgramEnvironment.h"
#include "app/ReopenRequest.h"
#include "core/TimerSource.h"
#include "settings/SettingsSection.h"

#include <QObject>
#include <memory>
#include <optional>

namespace qw {

class AXAccessGeneration;
class AXFocusMonitor;
class AXWorker;
class AppModel;
class AppUpdates;
class BubbleWindow;
class GlobalHotkeys;
class LoginStartup;
class OnboardingState;
class OnboardingWindow;
class QuickMenu;
class SelectionMonitor;
class SettingsWindow;
struct TranslationApplication;
class TrayIndicator;

// The root of the running tray program: creates every long-lived object once, connects the
// model's callbacks to the bubble, the monitors, the hotkeys and the windows, shows the state in
// the tray icon, looks at the frontmost application (every 0.3 s while a translation is on, and
// at every change of the active window) and opens the guide or the settings window. It decides
// nothing about translation itself: the model does.
class ApplicationDelegate : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds scanInterval{300};
    // While the focus monitor's events cover the field, the scan reads it only this often (a
    // lost event then costs at most this long).
    static constexpr int quietScansBetweenReads = 10;

    explicit ApplicationDelegate(ProgramEnvironment environment, QObject* parent = nullptr);
    // Runs the teardown unless it already ran.
    ~ApplicationDelegate() override;

    // Wires everything, takes the first look at the desktop and, unless the desktop started the
    // program at login, opens the guide (while it should be shown) or the settings window.
    void didFinishLaunching(bool launchedAtLogin);
    // Another start of the program (or its icon) asked to see it.
    void reopen(const ReopenRequest& request);
    // Releases the hotkeys, the monitors and the timers, and hides the panel.
    void terminate();

    AppModel& model() const { return *m_model; }
    AppUpdates& updates() const { return *m_updates; }
    LoginStartup& startup() const { return *m_startup; }
    QuickMenu& quickMenu() const { return *m_quickMenu; }
    TrayIndicator* tray() const { return m_tray.get(); }
    bool isScanning() const { return m_scanTimer.has_value(); }
    SettingsWindow* settingsWindow() const { return m_settingsWindow.get(); }
    OnboardingWindow* onboardingWindow() const { return m_onboardingWindow.get(); }
    // The page the bubble's settings button opens: the first thing that blocks translation.
    SettingsSection sectionForBubble() const;

private:
    void installCallbacks();
    void updateMonitoring();
    void scan();
    void armScanTimer();
    void scanSoon();
    void scheduleStatusIndicator();
    void updateStatusIndicator();
    void updateHotkeys();
    void openSettings(std::optional<SettingsSection> section);
    void openOnboarding();
    void relocalize();
    void confirmRevoke(const TranslationApplication& app);
    void confirmBrowser(const TranslationApplication& app);
    void scheduleBubbleRefresh();
    void refreshBubble();
    BubbleWindow& bubble();
    void readyForTypingSoon();

    ProgramEnvironment m_env;
    std::unique_ptr<AppUpdates> m_updates;
    std::unique_ptr<OnboardingState> m_onboarding;
    std::unique_ptr<BubbleWindow> m_bubble;
    std::unique_ptr<GlobalHotkeys> m_hotkeys;
    std::unique_ptr<AXFocusMonitor> m_focusMonitor;
    std::unique_ptr<SelectionMonitor> m_selectionMonitor;
    std::unique_ptr<LoginStartup> m_startup;
    std::shared_ptr<AXAccessGeneration> m_axAccess;
    std::unique_ptr<AXWorker> m_ax;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<QuickMenu> m_quickMenu;
    std::unique_ptr<TrayIndicator> m_tray;
    // Made on first use and kept: closing a window only hides it.
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<OnboardingWindow> m_onboardingWindow;
    std::optional<TimerSource::TimerId> m_scanTimer;
    bool m_indicatorPending = false;
    bool m_bubbleRefreshPending = false;
    int m_quietScans = 0;
    bool m_terminated = false;
    bool m_readyForTyping = false; // or about to be, on the next turn
};

} // namespace qw
