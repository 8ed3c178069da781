#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QVersionNumber>

namespace qw {

// Where a verified update goes: the installation's side of updating (a per-user prefix on
// Linux). Implemented under platform/, substituted in tests.
class UpdateInstaller {
public:
    virtual ~UpdateInstaller() = default;

    // Removes what an update interrupted earlier (a kill, a full disk) left behind.
    virtual void removeLeftovers() = 0;
    // Unpacks the signed archive of `version` beside the running one and makes it the version
    // that starts next. On any failure nothing the running program uses has changed.
    virtual QCoro::Task<bool> install(QVersionNumber version, QByteArray archive) = 0;
    // Starts the installed program once this one has ended; false when it could not be started.
    virtual bool relaunch() = 0;
};

} // namespace qw
