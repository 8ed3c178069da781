// Which applications may be read: the allow list, browsers after their confirmation, pauses
// and revocations, the application a hotkey acts on, and the accessibility permission.

#include "accessibility/adapters/Workspace.h"
#include "core/SettingsStore.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"

namespace qw {

TranslationApplication AppModel::applicationIdentity(const QString& bundleID) const
{
    if (bundleID == m_currentBundle)
        return {bundleID, m_currentApp};
    std::optional<QString> name;
    if (m_installedApplicationName)
        name = m_installedApplicationName(bundleID);
    return {bundleID, name && !name->isEmpty() ? *name : bundleID};
}

void AppModel::addCurrentApp()
{
    if (m_currentBundle.isEmpty() || m_currentBundle == m_ownBundleID)
        return;
    requestAllowApplication(applicationIdentity(m_currentBundle));
}

bool AppModel::refuseOwnApplication(const TranslationApplication& app)
{
    // Reading this program's own windows would translate its own bubble and settings.
    if (!app.bundleID.isEmpty() && app.bundleID != m_ownBundleID)
        return false;
    setStatus(AllowList::ownApplicationMessage());
    return true;
}

SettingsWriteResult AppModel::requestAllowApplication(const TranslationApplication& app)
{
    if (refuseOwnApplication(app))
        return SettingsWriteResult::ok();
    if (m_allowList.needsBrowserConfirmation(app.bundleID)) {
        // Allowing a browser covers every site it shows: only the user's second confirmation
        // may do that, so without someone to ask nothing happens.
        if (m_callbacks.onBrowserConfirmationRequested)
            m_callbacks.onBrowserConfirmationRequested(app);
        return SettingsWriteResult::ok();
    }
    return allowApplication(app);
}

SettingsWriteResult AppModel::allowApplication(const TranslationApplication& app)
{
    if (refuseOwnApplication(app))
        return SettingsWriteResult::ok();
    const bool wasAllowed = m_allowList.isAllowed(app.bundleID);
    const SettingsWriteResult saved = m_allowList.allow(app.bundleID);
    reportSettingsWriteFailure(saved);
    if (!saved)
        return saved;
    if (!wasAllowed)
        Q_EMIT changed();
    setStatus(AllowList::allowedMessage(app.name));
    return saved;
}

SettingsWriteResult AppModel::removeAllowedApp(const QString& bundleID)
{
    // Reading stops now, saved or not: the user withdrew the permission.
    const SettingsWriteResult saved = m_allowList.revoke(bundleID);
    Q_EMIT changed();
    abandonApplicationWorkKeepingOthers(bundleID);
    if (saved)
        setStatus(AllowList::revokedMessage(bundleID));
    reportSettingsWriteFailure(saved);
    return saved;
}

std::optional<TranslationApplication> AppModel::applicationForHotkey() const
{
    // What the bubble shows is what the user means, allowed or not any more.
    if (m_previewApplication && (m_showingPreview || m_showingError || m_isTranslating || m_showingUndoOffer))
        return m_previewApplication;
    const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    if (!front || front->pid == m_ownPid || !front->bundleID || front->bundleID->isEmpty())
        return std::nullopt;
    const QString& bundleID = *front->bundleID;
    if (!allowedBundleIDs().contains(bundleID))
        return std::nullopt;
    if (m_previewApplication && m_previewApplication->bundleID == bundleID)
        return m_previewApplication;
    const QString name =
        front->localizedName && !front->localizedName->isEmpty() ? *front->localizedName : bundleID;
    return TranslationApplication{bundleID, name};
}

void AppModel::performHotkeyIgnoreToday()
{
    const std::optional<TranslationApplication> app = applicationForHotkey();
    if (!app) {
        setStatus(L10n::text(L10N_KEY("当前没有可忽略的已授权应用")));
        return;
    }
    ignoreAppToday(*app);
}

void AppModel::performHotkeyRevoke()
{
    const std::optional<TranslationApplication> app = applicationForHotkey();
    if (!app) {
        setStatus(L10n::text(L10N_KEY("当前没有可取消授权的应用")));
        return;
    }
    // An application that is no longer allowed has nothing to revoke, even when the bubble
    // still shows its error.
    if (allowedBundleIDs().contains(app->bundleID) && m_callbacks.onRevokeConfirmationRequested)
        m_callbacks.onRevokeConfirmationRequested(*app);
}

void AppModel::requestPermission()
{
    const bool granted = m_requestTrust ? m_requestTrust() : trusted();
    publish(m_permissionGranted, granted);
    setStatus(granted ? L10n::text(L10N_KEY("辅助功能已授权"))
                      : L10n::text(L10N_KEY("请在系统设置中授予辅助功能权限")));
    if (!granted && m_openAccessibilitySettings)
        m_openAccessibilitySettings();
}

} // namespace qw
