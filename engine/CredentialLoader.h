#pragma once

#include "core/Result.h"
#include "engine/TranslationProvider.h"

#include <QCoroTask>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace qw {

// Why a stored credential could not be read. `accessError` carries the keyring's status code
// (the same codes the service turns into credential messages); `missingKey` means the store
// itself judged the key absent in a way that must be reported as such.
struct CredentialLoadFailure {
    enum class Kind { accessError, missingKey, other };
    Kind kind = Kind::other;
    qint32 status = 0;
};

// A loaded key, or none when nothing is stored for the provider.
using CredentialLoadResult = qw::Result<std::optional<QString>, CredentialLoadFailure>;

// Reads a provider's key. Background reads pass allowAuthentication = false and must never
// make the desktop prompt; only a read the user explicitly asked for may.
using CredentialLoader =
    std::function<QCoro::Task<CredentialLoadResult>(TranslationProvider provider, bool allowAuthentication)>;

} // namespace qw
