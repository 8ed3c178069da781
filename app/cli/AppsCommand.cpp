#include "app/cli/AppsCommand.h"

#include "core/Clock.h"
#include "l10n/L10n.h"
#include "model/AllowList.h"
#include "model/AppModel.h"
#include "model/SettingsWriteMessage.h"
#include "policy/UrlHandlerRegistry.h"
#include "settings/OnboardingState.h"

#include <QLocale>
#include <algorithm>

namespace qw {

namespace {

// The installed applications that open https links, as the browser rule asks for them.
class HttpsHandlers final : public UrlHandlerRegistry {
public:
    explicit HttpsHandlers(std::function<QStringList()> handlers) : m_handlers(std::move(handlers)) {}
    QStringList applicationsOpeningHttpsUrls() const override
    {
        return m_handlers ? m_handlers() : QStringList();
    }

private:
    std::function<QStringList()> m_handlers;
};

// This program's own application id, which is never allowed.
const QString kOwnBundleID = QStringLiteral("quillweave");

} // namespace

QCoro::Task<int> AppsCommand::run(QStringList arguments, bool confirmBrowser)
{
    static const QStringList actions{QStringLiteral("allow"), QStringLiteral("pause"),
                                     QStringLiteral("resume"), QStringLiteral("revoke")};
    const bool listing = arguments.isEmpty();
    if (!listing && (arguments.size() != 2 || !actions.contains(arguments.first()) ||
                     arguments.at(1).trimmed().isEmpty())) {
        m_context.err
            << L10n::text(L10N_KEY(
                   "用法：quillweave apps [allow <应用 ID> [--confirm-browser]|pause <应用 ID>|resume <应用 ID>|revoke <应用 ID>]"))
            << Qt::endl;
        co_return ExitStatus::usage;
    }

    // The same rule as at the program's start: an installation whose allow list began empty
    // (a new one, remembered by the onboarding state) gets no default application, however many
    // settings a command line wrote since.
    const OnboardingState onboarding(m_context.settings);
    const QStringList defaultAllowed =
        onboarding.isNewInstallation() ? QStringList{} : QStringList{AppModel::defaultAllowedApplication};
    AppSettings settings(m_context.settings, defaultAllowed, m_context.clock.now());
    const HttpsHandlers handlers(m_context.httpsHandlers);
    AllowList allowList(settings, handlers, m_context.clock, m_context.timeZone);
    // A pause that ended at midnight is not shown as one.
    allowList.expirePauses();
    if (listing) {
        list(settings, allowList);
        co_return ExitStatus::success;
    }
    const QString action = arguments.first();
    const QString bundleID = arguments.at(1).trimmed();
    if (action == u"allow")
        co_return allow(allowList, bundleID, confirmBrowser);

    if (!allowList.isAllowed(bundleID)) {
        m_context.err << L10n::format(L10N_KEY("%@ 不在允许列表中"), {bundleID}) << Qt::endl;
        co_return ExitStatus::failure;
    }
    const SettingsWriteResult saved = action == u"pause"    ? allowList.pauseToday(bundleID)
                                      : action == u"resume" ? allowList.resume(bundleID)
                                                            : allowList.revoke(bundleID);
    if (!saved) {
        m_context.err << SettingsWriteMessage::text(saved) << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << (action == u"pause"    ? AllowList::pausedMessage(displayName(bundleID))
                      : action == u"resume" ? AllowList::resumedMessage()
                                            : AllowList::revokedMessage(bundleID))
                  << Qt::endl;
    co_return ExitStatus::success;
}

int AppsCommand::allow(AllowList& allowList, const QString& bundleID, bool confirmBrowser)
{
    if (bundleID == kOwnBundleID) {
        m_context.err << AllowList::ownApplicationMessage() << Qt::endl;
        return ExitStatus::failure;
    }
    // The flag is the user's second confirmation, given before the question was asked.
    if (allowList.needsBrowserConfirmation(bundleID) && !confirmBrowser) {
        m_context.err
            << L10n::format(
                   L10N_KEY(
                       "%@ 是浏览器：允许后它显示的每个网站都可能被读取。确认请加上 --confirm-browser 再运行。"),
                   {bundleID})
            << Qt::endl;
        return ExitStatus::failure;
    }
    const SettingsWriteResult saved = allowList.allow(bundleID);
    if (!saved) {
        m_context.err << SettingsWriteMessage::text(saved) << Qt::endl;
        return ExitStatus::failure;
    }
    m_context.out << AllowList::allowedMessage(displayName(bundleID)) << Qt::endl;
    return ExitStatus::success;
}

void AppsCommand::list(const AppSettings& settings, const AllowList& allowList)
{
    const QSet<QString>& allowed = settings.values().allowedBundleIDs;
    QStringList ids(allowed.cbegin(), allowed.cend());
    std::sort(ids.begin(), ids.end());
    if (ids.isEmpty()) {
        m_context.out << L10n::text(L10N_KEY("还没有允许任何应用")) << Qt::endl;
        return;
    }
    for (const QString& id : ids) {
        const QString name = displayName(id);
        QString line = id;
        if (name != id)
            line += QStringLiteral(" (") + name + QStringLiteral(")");
        if (allowList.isPausedToday(id)) {
            const QDateTime until =
                settings.values().ignoredAppsUntil.value(id).toTimeZone(m_context.timeZone);
            line += QStringLiteral(" · ") +
                    L10n::format(L10N_KEY("已暂停至 %@"),
                                 {QLocale::c().toString(until, QStringLiteral("yyyy-MM-dd HH:mm"))});
        }
        m_context.out << line << Qt::endl;
    }
}

QString AppsCommand::displayName(const QString& bundleID) const
{
    std::optional<QString> name;
    if (m_context.installedApplicationName)
        name = m_context.installedApplicationName(bundleID);
    return name && !name->isEmpty() ? *name : bundleID;
}

} // namespace qw
