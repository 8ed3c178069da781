#include "app/ApplicationDelegate.h"

#include "accessibility/AXAccessGeneration.h"
#include "accessibility/AXFocusMonitor.h"
#include "accessibility/AXWorker.h"
#include "accessibility/SelectionMonitor.h"
#include "accessibility/adapters/ActivationEvents.h"
#include "app/GlobalHotkeys.h"
#include "app/HotkeyPreset.h"
#include "app/QuickMenu.h"
#include "app/TrayIndicator.h"
#include "bubble/BubbleModelState.h"
#include "bubble/BubblePanel.h"
#include "bubble/BubbleWindow.h"
#include "bubble/TranslationBubble.h"
#include "engine/TranslationMode.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "model/AppSettingsTable.h"
#include "settings/ConfirmationDialogs.h"
#include "settings/LoginStartup.h"
#include "settings/OnboardingState.h"
#include "settings/OnboardingWindow.h"
#include "settings/SettingsWindow.h"
#include "updates/AppUpdates.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

namespace qw {

namespace {

// Runs `work` on the next turn of the event loop, once however often it is asked for until then.
// `pending` belongs to `context`, which outlives every call it receives.
template <typename Work> void onceOnNextTurn(QObject* context, bool& pending, Work work)
{
    if (pending)
        return;
    pending = true;
    QTimer::singleShot(0, context, [&pending, work = std::move(work)] {
        pending = false;
        work();
    });
}

} // namespace

ApplicationDelegate::ApplicationDelegate(ProgramEnvironment environment, QObject* parent)
    : QObject(parent), m_env(std::move(environment))
{
    using Table = AppSettings::Table;
    m_updates = std::make_unique<AppUpdates>(
        m_env.timers,
        AppUpdates::Switches{Table::automaticUpdateChecks.read(m_env.settings),
                             Table::automaticUpdateDownloads.read(m_env.settings)},
        [this](AppUpdates::Switches switches) {
            static_cast<void>(
                m_env.settings.apply({Table::automaticUpdateChecks.change(switches.automaticChecks),
                                      Table::automaticUpdateDownloads.change(switches.automaticDownloads)}));
        },
        m_env.quit);
    m_onboarding = std::make_unique<OnboardingState>(m_env.settings);
    m_hotkeys = std::make_unique<GlobalHotkeys>(m_env.hotkeys);
    m_focusMonitor =
        std::make_unique<AXFocusMonitor>(m_env.platform.accessibility, m_env.observers, m_env.timers);
    m_selectionMonitor = std::make_unique<SelectionMonitor>(m_env.mouse, m_env.timers);
    m_startup = std::make_unique<LoginStartup>(m_env.loginItems, m_env.settings);
    m_axAccess = std::make_shared<AXAccessGeneration>();
    m_ax = std::make_unique<AXWorker>(m_env.platform);

    // A new installation starts with nothing allowed; one set up before the guide existed keeps
    // the plain text editor it always had.
    const QStringList defaultAllowed =
        m_onboarding->isNewInstallation() ? QStringList() : QStringList{AppModel::defaultAllowedApplication};
    m_model = std::make_unique<AppModel>(
        AppModel::Collaborators{m_env.settings, m_env.clock, m_env.timers, m_env.timeZone, m_env.service,
                                *m_ax, m_axAccess, m_env.platform.workspace, m_env.trustCheck, m_env.copyText,
                                m_env.keyPresence, m_env.ownPid, m_env.saveKey, m_env.removeKey,
                                m_env.requestTrust, m_env.openAccessibilitySettings,
                                m_env.installedApplicationName, m_env.ownBundleID},
        defaultAllowed);
}

ApplicationDelegate::~ApplicationDelegate()
{
    terminate();
    // The model's callbacks point here; nothing may reach a half-destroyed delegate.
    m_model->callbacks() = {};
}

void ApplicationDelegate::didFinishLaunching(bool launchedAtLogin)
{
    installCallbacks();
    // The icon first: it is what tells the user the program has started.
    const bool hasTray = m_env.desktopHasTray && m_env.desktopHasTray();
    if (hasTray) {
        updateStatusIndicator();
        m_tray->show();
    }
    connect(m_model.get(), &AppModel::changed, this, &ApplicationDelegate::scheduleStatusIndicator);
    // Looking again when the user comes back to one of the program's windows: the permission or
    // the login start may have been changed in the desktop's settings meanwhile.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive)
            return;
        m_model->refreshPermissionStatus();
        m_startup->refresh();
    });
    updateHotkeys();
    m_model->refreshPermissionStatus();
    m_env.activations.setOnActivation([this] { scanSoon(); });
    updateMonitoring();
    scan();
    // A new version starts only while nothing is being translated or written back.
    m_updates->setIsBusy([this] {
        return m_model->isTranslating() || m_model->isValidatingReplacement() || m_model->isAuthorizingKey();
    });
    m_updates->start(m_env.updates);

    if (!hasTray && m_env.notify) {
        m_env.notify(L10n::text(
            L10N_KEY("桌面没有托盘：织语仍在运行，快捷键和浮窗照常可用；再次启动 quillweave 可打开设置。")));
    }
    if (launchedAtLogin)
        return;
    if (m_onboarding->shouldPresent())
        openOnboarding();
    else
        openSettings(std::nullopt);
}

void ApplicationDelegate::installCallbacks()
{
    AppModel::Callbacks& callbacks = m_model->callbacks();
    callbacks.onInterfaceLanguageChanged = [this] {
        relocalize();
    };
    callbacks.onRevokeConfirmationRequested = [this](const TranslationApplication& app) {
        confirmRevoke(app);
    };
    callbacks.onCredentialConfigurationRequested = [this] {
        openSettings(SettingsSection::models);
    };
    m_selectionMonitor->setOnSelectionFinished(
        [this] { m_model->inspectSelectionAfterMouseUp(std::nullopt); });
    m_selectionMonitor->setOnMouseDownOutside([this] { m_model->invalidateSelectionWriteCapability(); });

    m_quickMenu = std::make_unique<QuickMenu>(
        *m_model, *m_startup, [this](std::optional<SettingsSection> section) { openSettings(section); },
        m_env.quit);
    m_tray = std::make_unique<TrayIndicator>(m_quickMenu->menu());
    connect(m_tray.get(), &TrayIndicator::activated, this, [this] { reopen({}); });

    callbacks.onBrowserConfirmationRequested = [this](const TranslationApplication& app) {
        confirmBrowser(app);
    };
    callbacks.onMonitoringSettingsChanged = [this] {
        updateMonitoring();
    };
    callbacks.onUserActionBlocked = [this] {
        scheduleBubbleRefresh();
    };
    callbacks.onPreviewUpdate = [this] {
        scheduleBubbleRefresh();
    };
    callbacks.onFieldObserved = [this](const std::optional<FocusedField>& field) {
        m_focusMonitor->watch(field);
    };
    m_focusMonitor->setOnUpdate([this] {
        if (m_model->inspectFocus(false))
            m_focusMonitor->noteReadStarted();
    });
    m_hotkeys->onAction = [this] {
        m_model->performHotkeyAction();
    };
    m_hotkeys->onUndo = [this] {
        m_model->performHotkeyUndo();
    };
    m_hotkeys->onIgnoreToday = [this] {
        m_model->performHotkeyIgnoreToday();
    };
    m_hotkeys->onRevoke = [this] {
        m_model->performHotkeyRevoke();
    };
    // A layout change took a combination away: the status says so.
    m_hotkeys->onRegistrationLost = [this] {
        updateHotkeys();
    };
    callbacks.onHotkeySettingsChanged = [this] {
        updateHotkeys();
    };
}

void ApplicationDelegate::scheduleBubbleRefresh()
{
    // One refresh per burst: a confirmed write hides the preview and then offers the restore,
    // and the panel must not be unmapped and mapped again between the two.
    onceOnNextTurn(this, m_bubbleRefreshPending, [this] { refreshBubble(); });
}

void ApplicationDelegate::refreshBubble()
{
    // Accessibility extents are in X pixels; the panel converts with its screen's ratio.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const BubbleModelState state = BubbleModelState::of(*m_model, screen ? screen->devicePixelRatio() : 1.0);
    if (!m_bubble && !state.wantsPanel)
        return;
    bubble().refresh(state);
}

void ApplicationDelegate::readyForTypingSoon()
{
    if (m_readyForTyping)
        return;
    m_readyForTyping = true;
    QTimer::singleShot(0, this, [this] {
        if (m_terminated)
            return;
        bubble();
        m_model->prepareForTyping();
    });
}

BubbleWindow& ApplicationDelegate::bubble()
{
    // Built when first wanted rather than at start: laying out its texts loads the fonts (the
    // CJK fallback alone is megabytes), which a program that sits in the tray may never need.
    // Once built it stays, and with it where the user put it.
    if (m_bubble)
        return *m_bubble;
    m_bubble = std::make_unique<BubbleWindow>(m_env.screens, m_env.timers);
    auto* content = new TranslationBubble(*m_model, *m_bubble->panel().titleBar());
    m_bubble->panel().setContent(content);
    content->setOnOpenSettings([this] { openSettings(sectionForBubble()); });
    m_bubble->setOnCloseRequested([this] { m_model->discardPreview(); });
    return *m_bubble;
}

void ApplicationDelegate::updateMonitoring()
{
    if (m_scanTimer) {
        m_env.timers.cancel(*m_scanTimer);
        m_scanTimer.reset();
    }
    m_focusMonitor->stop();
    if (m_model->inputTranslationEnabled() || m_model->pageTranslationEnabled()) {
        m_selectionMonitor->start();
        armScanTimer();
    } else {
        m_selectionMonitor->stop();
    }
    updateStatusIndicator();
}

void ApplicationDelegate::armScanTimer()
{
    m_scanTimer = m_env.timers.start(scanInterval, [this] {
        m_scanTimer.reset();
        scan();
        // scan() may have switched the monitoring (and armed a new tick) through the model.
        if (!m_scanTimer && (m_model->inputTranslationEnabled() || m_model->pageTranslationEnabled()))
            armScanTimer();
    });
}

void ApplicationDelegate::scanSoon()
{
    QTimer::singleShot(0, this, [this] {
        if (!m_terminated)
            scan();
    });
}

void ApplicationDelegate::scan()
{
    m_model->expireAppIgnores();
    const std::optional<RunningApplication> front = m_env.platform.workspace.frontmostApplication();
    // This program in front (its settings window, say) changes nothing.
    if (front && front->pid == m_env.ownPid)
        return;
    if (front)
        m_model->setCurrentApplication(*front);

    const bool inputOn = m_model->inputTranslationEnabled();
    const QString bundle = front ? front->bundleID.value_or(QString()) : QString();
    const bool automatic = m_model->inputTranslationMode() == TranslationMode::automatic;
    const bool allowed = inputOn && m_env.trustCheck() && automatic &&
                         m_model->allowedBundleIDs().contains(bundle) && !m_model->isAppIgnoredToday(bundle);
    m_focusMonitor->watch(front, allowed);
    // The panel, the connection library and the text rules are readied as soon as translating
    // becomes possible, while the user types: the first translation would otherwise wait for
    // the fonts the panel loads, the TLS library and the rules' compilation.
    if (allowed)
        readyForTypingSoon();
    if (inputOn && automatic && m_model->inputMonitorStatus() != m_focusMonitor->status())
        m_model->setInputMonitorStatus(m_focusMonitor->status());
    if (!inputOn && !m_model->pageTranslationEnabled())
        return;
    // An unchanged field costs its application and this program a dozen calls a read: between
    // events that cover it, it is read only now and then. The monitor's record of events is
    // taken only when this scan's read can start (a running read may predate the last event),
    // and trusted only when the last read was taken (one dropped as stale covered nothing).
    const bool readCanStart = !m_model->isInspecting() && !m_model->isValidatingReplacement();
    if (allowed && readCanStart && m_focusMonitor->takeQuiet() && m_model->lastFocusReadTaken() &&
        ++m_quietScans < quietScansBetweenReads)
        return;
    m_quietScans = 0;
    m_model->inspectFocus(false);
}

void ApplicationDelegate::scheduleStatusIndicator()
{
    // After the change has been applied: the model announces a burst of assignments one by one.
    onceOnNextTurn(this, m_indicatorPending, [this] { updateStatusIndicator(); });
}

void ApplicationDelegate::updateStatusIndicator()
{
    if (m_tray)
        m_tray->update(m_model->runtimeStatus(), m_model->hasBlockingIssue());
}

void ApplicationDelegate::updateHotkeys()
{
    const QString status =
        m_hotkeys->configure(m_model->hotkeysEnabled(), hotkeyPresetFromStored(m_model->hotkeyPreset()),
                             m_model->appActionHotkeysEnabled());
    m_model->setHotkeyStatus(status);
    m_model->setAppActionHotkeysActive(m_hotkeys->appActionsRegistered());
}

SettingsSection ApplicationDelegate::sectionForBubble() const
{
    const AppModel& model = *m_model;
    if (!model.permissionGranted() || model.pausedCredentialProviders().count(model.selectedProvider()) ||
        !model.cloudConsent())
        return SettingsSection::privacy;
    if (!model.providerReady() || model.serviceFailure())
        return SettingsSection::models;
    if (!model.allowedBundleIDs().contains(model.currentBundle()) ||
        model.isAppIgnoredToday(model.currentBundle()))
        return SettingsSection::applications;
    return SettingsSection::translation;
}

namespace {

// Calls back when the watched window is closed (its close button, or its own buttons).
class CloseWatcher : public QObject {
public:
    CloseWatcher(QObject* parent, std::function<void()> onClose)
        : QObject(parent), m_onClose(std::move(onClose))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && watched == parent())
            m_onClose();
        return false;
    }

private:
    std::function<void()> m_onClose;
};

// A window of a tray program comes to the front of whatever the user was doing.
void present(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void ApplicationDelegate::openSettings(std::optional<SettingsSection> section)
{
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsWindow>(
            SettingsWindow::Shared{*m_model, *m_startup, m_env.installedApplications,
                                   [this] { openOnboarding(); }, m_updates.get()});
        m_settingsWindow->showSection(section.value_or(SettingsSection::general));
    } else if (section) {
        m_settingsWindow->showSection(*section);
    }
    m_startup->refresh();
    present(m_settingsWindow.get());
}

void ApplicationDelegate::openOnboarding()
{
    static_cast<void>(m_onboarding->resume());
    if (!m_onboardingWindow) {
        m_onboardingWindow = std::make_unique<OnboardingWindow>(OnboardingWindow::Shared{
            *m_model, *m_startup, m_env.installedApplications, *m_onboarding, m_env.waylandSession});
        // Leaving the guide, finished or postponed, lands in the settings window.
        m_onboardingWindow->installEventFilter(new CloseWatcher(m_onboardingWindow.get(), [this] {
            QTimer::singleShot(0, this, [this] { openSettings(std::nullopt); });
        }));
    }
    present(m_onboardingWindow.get());
}

void ApplicationDelegate::reopen(const ReopenRequest& request)
{
    switch (request.target) {
    case ReopenRequest::Target::guide:
        openOnboarding();
        return;
    case ReopenRequest::Target::settings:
        openSettings(settingsSectionFromCommandName(request.section));
        return;
    case ReopenRequest::Target::nothing:
        break;
    }
    if (m_onboarding->shouldPresent())
        openOnboarding();
    else
        openSettings(std::nullopt);
}

void ApplicationDelegate::relocalize()
{
    if (m_tray)
        m_tray->relocalize();
    // The next scan starts the monitor again, and its status comes in the new language.
    m_focusMonitor->stop();
    m_updates->refreshLocalization();
    updateStatusIndicator();
}

void ApplicationDelegate::confirmRevoke(const TranslationApplication& app)
{
    QMessageBox* box = ConfirmationDialogs::askRevoke(
        nullptr, app, [this, app] { static_cast<void>(m_model->removeAllowedApp(app.bundleID)); });
    box->raise();
    box->activateWindow();
}

void ApplicationDelegate::confirmBrowser(const TranslationApplication& app)
{
    QMessageBox* box = ConfirmationDialogs::askAllowBrowser(
        nullptr, app, [this, app] { static_cast<void>(m_model->allowApplication(app)); });
    box->raise();
    box->activateWindow();
}

void ApplicationDelegate::terminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    if (m_scanTimer) {
        m_env.timers.cancel(*m_scanTimer);
        m_scanTimer.reset();
    }
    m_env.activations.setOnActivation({});
    m_focusMonitor->stop();
    m_selectionMonitor->stop();
    if (m_bubble)
        m_bubble->hide();
    m_hotkeys->unregister();
    if (m_tray)
        m_tray->hide();
}

} // namespace qw
