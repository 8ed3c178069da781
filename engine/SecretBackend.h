#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace qw {

// Status codes of keyring operations. The values are the ones the rest of the program (and
// its user-visible messages, "密钥读取失败（-25308）") already speak, whatever desktop keyring
// sits behind the backend.
namespace SecretStatus {
inline constexpr qint32 success = 0;
inline constexpr qint32 itemNotFound = -25300;
inline constexpr qint32 duplicateItem = -25299;
// The item may exist but could not be reached without user interaction (a locked collection).
inline constexpr qint32 interactionNotAllowed = -25308;
inline constexpr qint32 authorizationFailed = -25293;
inline constexpr qint32 userCancelled = -128;
// No keyring service answers on the session bus.
inline constexpr qint32 serviceUnavailable = -25291;
// The keyring answered with a failure of its own (protocol error, refused request).
inline constexpr qint32 internalFailure = -2070;
} // namespace SecretStatus

// Where an item lives: one item per (service, account) pair.
struct SecretItemKey {
    QString service;
    QString account;
};

// Whether an operation may ask the user (unlock prompt) to reach an item.
enum class SecretAccess { silent, mayPrompt };

// The desktop keyring as the credential store needs it. Every call may block (a prompt waits
// for the user), so callers keep them off the main thread.
class SecretBackend {
public:
    virtual ~SecretBackend() = default;

    // Whether an item exists, without reading its secret. `silent` never unlocks anything: an
    // item behind a locked collection gives interactionNotAllowed.
    virtual qint32 find(const SecretItemKey& key, SecretAccess access) = 0;

    // The secret bytes of the item; itemNotFound when there is none. With `mayPrompt` a locked
    // collection is unlocked through the desktop's prompt: dismissed gives userCancelled, a
    // failed unlock authorizationFailed.
    virtual Result<QByteArray, qint32> read(const SecretItemKey& key, SecretAccess access) = 0;

    // Creates the item; duplicateItem when one already exists for the key. May prompt.
    virtual qint32 add(const SecretItemKey& key, const QString& label, const QByteArray& secret) = 0;

    // Replaces the secret of the existing item(s); itemNotFound when there is none. May prompt.
    virtual qint32 update(const SecretItemKey& key, const QByteArray& secret) = 0;

    // Deletes every item of the key; itemNotFound when there was none. May prompt.
    virtual qint32 remove(const SecretItemKey& key) = 0;
};

} // namespace qw
