#pragma once

#include "accessibility/adapters/AXPlatform.h"
#include "engine/TranslationProvider.h"
#include "updates/UpdateSetup.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QTimeZone>
#include <functional>
#include <optional>

namespace qw {

class AccessibilityObserverFactory;
class ActivationEvents;
class BubbleScreens;
class Clock;
class GlobalMouseMonitor;
class HotkeyService;
class InstalledApplications;
class LoginItemService;
class SettingsStore;
class TimerSource;
class TranslationService;

// What the tray program runs against: the real desktop in main(), the substitute desktop in
// tests. Everything here outlives the program's delegate.
struct ProgramEnvironment {
    SettingsStore& settings;
    Clock& clock;
    TimerSource& timers;
    // The time zone whose local midnight ends a pause.
    QTimeZone timeZone;
    TranslationService& service;
    AXPlatform platform;
    AccessibilityObserverFactory& observers;
    GlobalMouseMonitor& mouse;
    ActivationEvents& activations;
    HotkeyService& hotkeys;
    LoginItemService& loginItems;
    InstalledApplications& installedApplications;
    BubbleScreens& screens;

    // The model's collaborators that reach the desktop (see AppModel::Collaborators).
    std::function<bool()> trustCheck;
    std::function<bool(const QString&)> copyText;
    std::function<QCoro::Task<bool>(TranslationProvider)> keyPresence;
    std::function<QCoro::Task<bool>(TranslationProvider, QString)> saveKey;
    std::function<QCoro::Task<bool>(TranslationProvider)> removeKey;
    std::function<bool()> requestTrust;
    std::function<void()> openAccessibilitySettings;
    std::function<std::optional<QString>(const QString&)> installedApplicationName;
    qint32 ownPid = 0;
    QString ownBundleID;

    // Whether a tray shows the program's icon (checked once at launch).
    std::function<bool()> desktopHasTray;
    // Tells the user something once, outside any window (a desktop notification).
    std::function<void(const QString&)> notify;
    // Ends the event loop; the delegate's teardown runs after it.
    std::function<void()> quit;
    // A native Wayland session: the guide says what works there and what does not yet.
    bool waylandSession = false;
    // The installation's metadata and installer; empty leaves updating unconfigured.
    UpdateSetup updates = {};
};

} // namespace qw
