#include "app/cli/AppsCommand.h"

#include "app/cli/CliModelHost.h"
#include "l10n/L10n.h"
#include "model/SettingsWriteMessage.h"

#include <QLocale>
#include <algorithm>

namespace qw {

QCoro::Task<int> AppsCommand::run(QStringList arguments, bool confirmBrowser)
{
    static const QStringList actions{QStringLiteral("allow"), QStringLiteral("pause"),
                                     QStringLiteral("resume"), QStringLiteral("revoke")};
    const bool listing = arguments.isEmpty();
    if (!listing && (arguments.size() != 2 || !actions.contains(arguments.first()) ||
                     arguments.at(1).trimmed().isEmpty())) {
        m_context.err << L10n::text(
                             L10N_KEY("用法：quillweave apps [allow <应用 ID> [--confirm-browser]|pause <应用 ID>|resume <应用 ID>|revoke <应用 ID>]"))
                      << Qt::endl;
        co_return ExitStatus::usage;
    }

    CliModelHost host(m_context, std::nullopt);
    AppModel& model = host.model();
    // A pause that ended at midnight is not shown as one.
    model.expireAppIgnores();
    if (listing) {
        list(host);
        co_return ExitStatus::success;
    }
    const QString action = arguments.first();
    const QString bundleID = arguments.at(1).trimmed();
    if (action == u"allow")
        co_return allow(host, bundleID, confirmBrowser);

    if (!model.allowedBundleIDs().contains(bundleID)) {
        m_context.err << L10n::format(L10N_KEY("%@ 不在允许列表中"), {bundleID}) << Qt::endl;
        co_return ExitStatus::failure;
    }
    const SettingsWriteResult saved = action == u"pause"
                                          ? model.ignoreAppToday(model.applicationIdentity(bundleID))
                                      : action == u"resume" ? model.resumeApp(bundleID)
                                                            : model.removeAllowedApp(bundleID);
    if (!saved) {
        m_context.err << SettingsWriteMessage::text(saved) << Qt::endl;
        co_return ExitStatus::failure;
    }
    m_context.out << model.status() << Qt::endl;
    co_return ExitStatus::success;
}

int AppsCommand::allow(CliModelHost& host, const QString& bundleID, bool confirmBrowser)
{
    AppModel& model = host.model();
    bool needsConfirmation = false;
    SettingsWriteResult confirmedSaved = SettingsWriteResult::ok();
    model.callbacks().onBrowserConfirmationRequested = [&](const TranslationApplication& app) {
        needsConfirmation = true;
        // The flag is the user's second confirmation, given before the question was asked.
        if (confirmBrowser)
            confirmedSaved = model.allowApplication(app);
    };
    const SettingsWriteResult requestSaved =
        model.requestAllowApplication(model.applicationIdentity(bundleID));
    model.callbacks().onBrowserConfirmationRequested = nullptr;
    const SettingsWriteResult saved = requestSaved ? confirmedSaved : requestSaved;
    if (!saved) {
        m_context.err << SettingsWriteMessage::text(saved) << Qt::endl;
        return ExitStatus::failure;
    }
    if (needsConfirmation && !confirmBrowser) {
        m_context.err << L10n::format(L10N_KEY("%@ 是浏览器：允许后它显示的每个网站都可能被读取。确认请加上 --confirm-browser 再运行。"),
                                      {bundleID})
                      << Qt::endl;
        return ExitStatus::failure;
    }
    if (!model.allowedBundleIDs().contains(bundleID)) {
        // The model refused it and said why.
        m_context.err << model.status() << Qt::endl;
        return ExitStatus::failure;
    }
    m_context.out << model.status() << Qt::endl;
    return ExitStatus::success;
}

void AppsCommand::list(CliModelHost& host)
{
    const AppModel& model = host.model();
    QStringList ids(model.allowedBundleIDs().cbegin(), model.allowedBundleIDs().cend());
    std::sort(ids.begin(), ids.end());
    if (ids.isEmpty()) {
        m_context.out << L10n::text(L10N_KEY("还没有允许任何应用")) << Qt::endl;
        return;
    }
    for (const QString& id : ids) {
        const TranslationApplication app = model.applicationIdentity(id);
        QString line = id;
        if (app.name != id)
            line += QStringLiteral(" (") + app.name + QStringLiteral(")");
        if (model.isAppIgnoredToday(id)) {
            const QDateTime until = model.ignoredAppsUntil().value(id).toTimeZone(m_context.timeZone);
            line += QStringLiteral(" · ") +
                    L10n::format(L10N_KEY("已暂停至 %@"),
                                 {QLocale::c().toString(until, QStringLiteral("yyyy-MM-dd HH:mm"))});
        }
        m_context.out << line << Qt::endl;
    }
}

} // namespace qw
