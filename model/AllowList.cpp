#include "model/AllowList.h"

#include "core/Clock.h"
#include "l10n/L10n.h"
#include "policy/BrowserPrivacy.h"

namespace qw {

using Table = AppSettings::Table;

AllowList::AllowList(AppSettings& settings, const UrlHandlerRegistry& handlers, Clock& clock,
                     QTimeZone timeZone)
    : m_settings(settings), m_handlers(handlers), m_clock(clock), m_timeZone(std::move(timeZone))
{
}

bool AllowList::isPausedToday(const QString& bundleID) const
{
    const QMap<QString, QDateTime>& pauses = m_settings.values().ignoredAppsUntil;
    const auto found = pauses.constFind(bundleID);
    return found != pauses.cend() && *found > m_clock.now();
}

bool AllowList::needsBrowserConfirmation(const QString& bundleID) const
{
    return BrowserPrivacy::isBrowser(bundleID, m_handlers) && !m_settings.browserScopeConfirmed(bundleID);
}

SettingsWriteResult AllowList::allow(const QString& bundleID)
{
    QSet<QString> allowed = m_settings.values().allowedBundleIDs;
    allowed.insert(bundleID);
    QList<SettingsStore::Change> changes{m_settings.change(Table::allowedBundleIDs, allowed)};
    if (BrowserPrivacy::isBrowser(bundleID, m_handlers))
        changes.append(m_settings.browserScopeConfirmation(bundleID));
    const SettingsWriteResult saved = m_settings.apply(changes);
    if (saved)
        m_settings.assign(Table::allowedBundleIDs, std::move(allowed));
    return saved;
}

SettingsWriteResult AllowList::revoke(const QString& bundleID)
{
    QSet<QString> allowed = m_settings.values().allowedBundleIDs;
    allowed.remove(bundleID);
    QList<SettingsStore::Change> changes{m_settings.change(Table::allowedBundleIDs, allowed)};
    QMap<QString, QDateTime> pauses = m_settings.values().ignoredAppsUntil;
    if (pauses.remove(bundleID) > 0)
        changes.append(m_settings.change(Table::ignoredAppsUntil, pauses));
    const SettingsWriteResult saved = m_settings.apply(changes);
    m_settings.assign(Table::allowedBundleIDs, std::move(allowed));
    m_settings.assign(Table::ignoredAppsUntil, std::move(pauses));
    return saved;
}

SettingsWriteResult AllowList::pauseToday(const QString& bundleID)
{
    const QDate today = m_clock.now().toTimeZone(m_timeZone).date();
    QMap<QString, QDateTime> pauses = m_settings.values().ignoredAppsUntil;
    pauses.insert(bundleID, QDateTime(today.addDays(1), QTime(0, 0), m_timeZone));
    const SettingsWriteResult saved = m_settings.apply({m_settings.change(Table::ignoredAppsUntil, pauses)});
    m_settings.assign(Table::ignoredAppsUntil, std::move(pauses));
    return saved;
}

SettingsWriteResult AllowList::resume(const QString& bundleID)
{
    QMap<QString, QDateTime> pauses = m_settings.values().ignoredAppsUntil;
    if (pauses.remove(bundleID) == 0)
        return SettingsWriteResult::ok();
    return m_settings.set(Table::ignoredAppsUntil, std::move(pauses));
}

bool AllowList::expirePauses()
{
    const QDateTime now = m_clock.now();
    QMap<QString, QDateTime> kept = m_settings.values().ignoredAppsUntil;
    if (kept.removeIf([&now](const auto& pause) { return pause.value() <= now; }) == 0)
        return false;
    // A pause that has ended is dropped when the settings are read, so the file means the same
    // with or without it: a failed write loses nothing and is not worth a message.
    static_cast<void>(m_settings.apply({m_settings.change(Table::ignoredAppsUntil, kept)}));
    m_settings.assign(Table::ignoredAppsUntil, std::move(kept));
    return true;
}

QString AllowList::allowedMessage(const QString& name)
{
    return L10n::format(L10N_KEY("已允许 %@"), {name});
}

QString AllowList::pausedMessage(const QString& name)
{
    return L10n::format(L10N_KEY("今日已忽略 %@，午夜自动恢复"), {name});
}

QString AllowList::resumedMessage()
{
    return L10n::text(L10N_KEY("已恢复此应用的翻译"));
}

QString AllowList::revokedMessage(const QString& bundleID)
{
    return L10n::format(L10N_KEY("已停止读取 %@"), {bundleID});
}

QString AllowList::ownApplicationMessage()
{
    return L10n::text(L10N_KEY("不能允许织语读取它自己"));
}

} // namespace qw
