#pragma once

#include "app/cli/CliContext.h"

#include <QCoroTask>
#include <QStringList>

namespace qw {

class CliModelHost;

// `quillweave apps [allow|pause|resume|revoke <id>]`: the applications that may be read,
// through the application model. A browser is allowed only with --confirm-browser, which is
// the command line's answer to the model's browser confirmation; the revoke command is itself
// the user's confirmation.
class AppsCommand {
public:
    explicit AppsCommand(CliContext& context) : m_context(context) {}

    QCoro::Task<int> run(QStringList arguments, bool confirmBrowser);

private:
    void list(CliModelHost& host);
    int allow(CliModelHost& host, const QString& bundleID, bool confirmBrowser);

    CliContext& m_context;
};

} // namespace qw
