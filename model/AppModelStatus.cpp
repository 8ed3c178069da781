// The one-line summary of what keeps translation from running, the two translation hotkeys,
// and the diagnostics the settings show (never a field's text, a translation or a key).

#include "accessibility/adapters/Workspace.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"

namespace qw {

QString AppModel::runtimeStatus() const
{
    if (!inputTranslationEnabled() && !pageTranslationEnabled())
        return L10n::text(L10N_KEY("翻译已关闭"));
    if (!m_permissionGranted)
        return L10n::text(L10N_KEY("需要辅助功能权限"));
    if (!m_currentBundle.isEmpty() && !allowedBundleIDs().contains(m_currentBundle))
        return L10n::text(L10N_KEY("尚未允许翻译此应用"));
    if (isAppIgnoredToday(m_currentBundle))
        return L10n::text(L10N_KEY("此应用已暂停至午夜"));
    if ((inputTranslationEnabled() && !hasValidInputLanguagePair()) ||
        (pageTranslationEnabled() && !hasValidPageLanguagePair()))
        return L10n::text(L10N_KEY("源语言与目标语言必须不同"));
    if (m_isAuthorizingKey)
        return L10n::text(L10N_KEY("密钥访问正在处理"));
    if (!m_hasAPIKey)
        return L10n::text(L10N_KEY("当前服务商尚未配置 API Key"));
    if (m_pausedCredentialProviders.count(selectedProvider()) > 0)
        return label(credentialState());
    if (!cloudConsent())
        return L10n::text(L10N_KEY("尚未允许使用当前云翻译服务"));
    if (!providerReady())
        return L10n::text(L10N_KEY("翻译配置无效"));
    if (m_serviceFailure)
        return L10n::text(L10N_KEY("翻译服务连接失败"));
    return L10n::text(L10N_KEY("正在运行"));
}

bool AppModel::hasBlockingIssue() const
{
    if (!inputTranslationEnabled() && !pageTranslationEnabled())
        return false;
    return runtimeStatus() != L10n::text(L10N_KEY("正在运行"));
}

bool AppModel::readyForLoginGuidance() const
{
    return m_permissionGranted && providerReady() && cloudConsent() && !allowedBundleIDs().isEmpty();
}

void AppModel::performHotkeyAction()
{
    publish(m_permissionGranted, trusted());
    const std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    if (front && front->pid != m_ownPid) {
        publish(m_currentApp, front->localizedName && !front->localizedName->isEmpty()
                                  ? *front->localizedName
                                  : L10n::text(L10N_KEY("未知应用")));
        publish(m_currentBundle, front->bundleID.value_or(QString()));
    }
    if (hasBlockingIssue()) {
        // A hotkey pressed while something blocks translation starts nothing; it says why,
        // in the status line and in the bubble.
        const QString message = runtimeStatus();
        discardPreview();
        publish(m_translationErrorMessage, message);
        setStatus(message);
        publish(m_showingError, true);
        if (m_callbacks.onUserActionBlocked)
            m_callbacks.onUserActionBlocked();
        return;
    }
    if (!trusted()) {
        setStatus(L10n::text(L10N_KEY("先授予辅助功能权限")));
        return;
    }
    if (inputTranslationEnabled()) {
        if (inputTranslationMode() == TranslationMode::selection) {
            inspectSelectionAfterMouseUp(std::nullopt);
        } else if (m_showingPreview) {
            // The hotkey never replaces: only the bubble's button does.
            setStatus(L10n::text(L10N_KEY("预览已就绪；点击浮层的「替换到输入框」确认修改")));
        } else if (m_showingUndoOffer) {
            setStatus(L10n::text(L10N_KEY("上次回填仍可撤销；请继续编辑或使用 ⌃⌥Z 恢复原文")));
        } else {
            inspectFocus(true);
        }
        return;
    }
    if (pageTranslationEnabled()) {
        inspectSelectionAfterMouseUp(std::nullopt);
        return;
    }
    setStatus(L10n::text(L10N_KEY("请先启用输入翻译或页面翻译")));
}

void AppModel::performHotkeyUndo()
{
    if (m_hasUndo) {
        undoReplacement();
        return;
    }
    setStatus(L10n::text(L10N_KEY("当前没有可恢复的原文")));
}

void AppModel::refreshPermissionStatus()
{
    publish(m_permissionGranted, trusted());
}

std::optional<RunningApplication> AppModel::takeFrontmostApplication()
{
    std::optional<RunningApplication> front = m_workspace.frontmostApplication();
    if (!front || front->pid == m_ownPid)
        return std::nullopt;
    setCurrentApplication(*front);
    return front;
}

void AppModel::setCurrentApplication(const RunningApplication& application)
{
    publish(m_currentApp, application.localizedName.value_or(L10n::text(L10N_KEY("未知应用"))));
    publish(m_currentBundle, application.bundleID.value_or(QString()));
}

QList<AppModel::DiagnosticRow> AppModel::diagnostics() const
{
    const auto code = m_credentialErrorCodes.find(selectedProvider());
    const QString codeText =
        code != m_credentialErrorCodes.end() ? QString::number(code->second) : QStringLiteral("\u2014");
    return {
        {L10n::text(L10N_KEY("当前应用")), m_currentApp},
        {L10n::text(L10N_KEY("应用标识")), m_currentBundle},
        {L10n::text(L10N_KEY("输入框类型")), m_currentRole},
        {L10n::text(L10N_KEY("最近检测")), m_lastFieldResult},
        {L10n::text(L10N_KEY("AX 诊断")), m_focusDiagnostic},
        {L10n::text(L10N_KEY("监听方式")), m_inputMonitorStatus},
        {L10n::text(L10N_KEY("翻译状态")), m_status},
        {L10n::text(L10N_KEY("划词检测")), m_selectionDiagnostic},
        {L10n::text(L10N_KEY("密钥错误码")), codeText},
    };
}

} // namespace qw
