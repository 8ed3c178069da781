#pragma once

#include "app/cli/CliContext.h"

#include <QCoroTask>
#include <QStringList>

namespace qw {

class AllowList;
class AppSettings;

// `quillweave apps [allow|pause|resume|revoke <id>]`: the applications that may be read,
// through the settings and the allow list the program itself uses. A browser is allowed only
// with --confirm-browser, the command line's answer to the browser confirmation; the revoke
// command is itself the user's confirmation.
class AppsCommand {
public:
    explicit AppsCommand(CliContext& context) : m_context(context) {}

    QCoro::Task<int> run(QStringList arguments, bool confirmBrowser);

private:
    void list(const AppSettings& settings, const AllowList& allowList);
    int allow(AllowList& allowList, const QString& bundleID, bool confirmBrowser);
    // The installed application's display name, or its id.
    QString displayName(const QString& bundleID) const;

    CliContext& m_context;
};

} // namespace qw
