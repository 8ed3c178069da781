#include "model/AppModel.h"

#include "accessibility/adapters/Workspace.h"
#include "core/Clock.h"
#include "core/SettingsStore.h"
#include "l10n/L10n.h"

namespace qw {

const QString AppModel::defaultAllowedApplication = QStringLiteral("org.gnome.TextEditor");

const QList<int>& AppModel::allowedDebounceValues()
{
    return AppSettings::allowedDebounceValues;
}

AppModel::AppModel(Collaborators collaborators, const QStringList& defaultAllowedBundleIDs, QObject* parent)
    : QObject(parent), m_clock(collaborators.clock), m_timers(collaborators.timers),
      m_timeZone(std::move(collaborators.timeZone)), m_service(collaborators.service), m_ax(collaborators.ax),
      m_axAccess(std::move(collaborators.axAccess)), m_workspace(collaborators.workspace),
      m_trustCheck(std::move(collaborators.trustCheck)), m_copyText(std::move(collaborators.copyText)),
      m_keyPresence(std::move(collaborators.keyPresence)), m_ownPid(collaborators.ownPid),
      m_credentials(std::make_shared<Credentials>(collaborators.service, m_keyPresence,
                                                  std::move(collaborators.saveKey),
                                                  std::move(collaborators.removeKey))),
      m_requestTrust(std::move(collaborators.requestTrust)),
      m_openAccessibilitySettings(std::move(collaborators.openAccessibilitySettings)),
      m_installedApplicationName(std::move(collaborators.installedApplicationName)),
      m_ownBundleID(std::move(collaborators.ownBundleID)),
      // Read without the side effects of the setters: those belong to later changes only.
      m_settings(collaborators.defaults, defaultAllowedBundleIDs, m_clock.now()),
      m_allowList(m_settings, m_workspace, m_clock, m_timeZone), m_providerSettings(m_settings)
{
    m_connectionStatus = L10n::text(L10N_KEY("尚未测试连接"));
    m_hotkeyStatus = L10n::text(L10N_KEY("快捷键尚未初始化"));
    m_focusDiagnostic = QStringLiteral("\u2014");
    m_currentApp = L10n::text(L10N_KEY("尚未检测到应用"));
    m_currentRole = QStringLiteral("\u2014");
    m_status = L10n::text(L10N_KEY("点击菜单栏图标开始"));
    m_selectionDiagnostic = L10n::text(L10N_KEY("划词翻译未启用"));
    m_lastFieldResult = L10n::text(L10N_KEY("暂无有效输入框检测结果"));
    m_inputMonitorStatus = L10n::text(L10N_KEY("等待检测"));

    // The key's state is only read, silently; nothing is translated before the shell's first
    // inspection.
    if (m_keyPresence)
        refreshCredentialState();
}

AppModel::~AppModel()
{
    // Jobs that resume later (a worker answer arriving after the model is gone) find the flag
    // down and stop; waits are woken by the cancellations and stop the same way.
    *m_alive = false;
    for (std::optional<Job>* slot : {&m_focusReadTask, &m_pendingTranslation, &m_replacementTask,
                                     &m_selectionReadTask, &m_selectedTextTask, &m_copyFeedbackTask,
                                     &m_languageValidationTask, &m_credentialTask, &m_connectionTest})
        cancelJob(*slot);
}

AppModel::Job& AppModel::startJob(std::optional<Job>& slot)
{
    cancelJob(slot);
    slot.emplace();
    slot->id = ++m_nextJobId;
    return *slot;
}

void AppModel::cancelJob(std::optional<Job>& slot)
{
    if (!slot)
        return;
    Job job = std::move(*slot);
    slot.reset();
    job.cancellation.cancel();
}

void AppModel::advanceRevision()
{
    // Together: the revision stops jobs on this thread, the access generation stops reads and
    // writes already queued on the accessibility worker.
    ++m_revision;
    m_axAccess->advance();
}

bool AppModel::isEligible(const QString& bundleID) const
{
    return m_allowList.isEligible(bundleID);
}

bool AppModel::trusted() const
{
    return m_trustCheck && m_trustCheck();
}

void AppModel::notifyPreviewUpdate()
{
    if (m_callbacks.onPreviewUpdate)
        m_callbacks.onPreviewUpdate();
}

void AppModel::notifyFieldObserved(const std::optional<FocusedField>& field)
{
    if (m_callbacks.onFieldObserved)
        m_callbacks.onFieldObserved(field);
}

void AppModel::notifyHotkeySettingsChanged()
{
    if (m_callbacks.onHotkeySettingsChanged)
        m_callbacks.onHotkeySettingsChanged();
}

void AppModel::notifyMonitoringSettingsChanged()
{
    if (m_callbacks.onMonitoringSettingsChanged)
        m_callbacks.onMonitoringSettingsChanged();
}

std::optional<QRectF> AppModel::previewBounds() const
{
    if (m_selectionPreview || m_selectionTranslating)
        return m_selectionBounds;
    if (m_snapshot && m_snapshot->field.bounds)
        return m_snapshot->field.bounds;
    if (m_replacement)
        return m_replacement->field.bounds;
    return std::nullopt;
}

} // namespace qw
