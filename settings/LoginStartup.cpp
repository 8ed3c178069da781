#include "settings/LoginStartup.h"

#include "core/SettingsStore.h"
#include "l10n/L10n.h"
#include "model/AppSettings.h"

#include <QMetaObject>

namespace qw {

namespace {

using Table = AppSettings::Table;

} // namespace

LoginStartup::LoginStartup(LoginItemService& service, SettingsStore& defaults, QObject* parent)
    : QObject(parent), m_service(service), m_defaults(defaults)
{
    m_status = m_service.status();
    m_dismissed = Table::loginGuidanceDismissed.read(m_defaults);
}

QString LoginStartup::label() const
{
    switch (m_status) {
    case LoginItemStatus::notRegistered:
        return L10n::text(L10N_KEY("未开启"));
    case LoginItemStatus::enabled:
        return L10n::text(L10N_KEY("已开启"));
    case LoginItemStatus::requiresApproval:
        return L10n::text(L10N_KEY("需要系统批准"));
    case LoginItemStatus::notFound:
        return L10n::text(L10N_KEY("应用服务不可用"));
    }
    return L10n::text(L10N_KEY("状态未知"));
}

QString LoginStartup::errorMessage() const
{
    return m_errorKey.isEmpty() ? QString() : L10n::text(m_errorKey);
}

SettingsWriteResult LoginStartup::setDismissed(bool dismissed)
{
    const SettingsWriteResult saved = m_defaults.apply({Table::loginGuidanceDismissed.change(dismissed)});
    if (!saved)
        return saved;
    if (m_dismissed != dismissed) {
        m_dismissed = dismissed;
        Q_EMIT changed();
    }
    return saved;
}

void LoginStartup::setEnabled(bool enable)
{
    if (m_busy)
        return;
    // A copy that is not installed (a build tree) disappears or moves with the next build: it
    // must not be started at every login. Turning it off is always possible.
    if (enable && !m_service.isInstalledCopy()) {
        m_errorKey = L10N_KEY("请先将应用安装到 Applications，再开启登录启动");
        Q_EMIT changed();
        return;
    }
    m_busy = true;
    m_errorKey.clear();
    Q_EMIT changed();
    QMetaObject::invokeMethod(
        this, [this, enable] { apply(enable); }, Qt::QueuedConnection);
}

void LoginStartup::apply(bool enable)
{
    const bool done = enable ? m_service.registerItem() : m_service.unregisterItem();
    if (!done)
        m_errorKey = L10N_KEY("无法更新登录启动，请检查系统登录项设置");
    // Whatever happened, show what the desktop holds now.
    m_status = m_service.status();
    m_busy = false;
    Q_EMIT changed();
}

void LoginStartup::refresh()
{
    const LoginItemStatus status = m_service.status();
    if (status == m_status)
        return;
    m_status = status;
    Q_EMIT changed();
}

bool LoginStartup::canOpenSystemSettings() const
{
    return m_service.canOpenSystemSettings();
}

void LoginStartup::openSystemSettings()
{
    m_service.openSystemSettings();
}

} // namespace qw
