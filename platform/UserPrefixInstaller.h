#pragma once

#include "core/SerialWorker.h"
#include "updates/UpdateInstaller.h"
#include "updates/UpdateSetup.h"

#include <QString>
#include <optional>

namespace qw {

// Updates a per-user installation in place:
//   $PREFIX/lib/quillweave/versions/<version>/   one folder per installed version
//   $PREFIX/lib/quillweave/current -> versions/<version>
//   $PREFIX/bin/quillweave -> ../lib/quillweave/current/bin/quillweave
// A new version is unpacked into versions/<version>.partial-XXXXXX, renamed to
// versions/<version> once complete, and made current by renaming a fresh link over `current`:
// whatever happens before that rename (a full disk, a kill) leaves `current` as it was.
class UserPrefixInstaller final : public UpdateInstaller {
public:
    explicit UserPrefixInstaller(QString prefix);

    // The prefix of a per-user installation whose program runs from `applicationDir`
    // ($PREFIX/lib/quillweave/versions/<version>/bin), or none for any other place.
    static std::optional<QString> prefixOf(const QString& applicationDir);
    // The running program's metadata, with this installer when it runs from a per-user
    // installation.
    static UpdateSetup forRunningProgram();

    void removeLeftovers() override;
    QCoro::Task<bool> install(QVersionNumber version, QByteArray archive) override;
    bool relaunch() override;

private:
    QString m_prefix;
    // Unpacking a large archive takes a while; the main thread goes on meanwhile.
    SerialWorker m_worker{QStringLiteral("update installer")};
};

} // namespace qw
