#pragma once

#include <QByteArray>

namespace qw::Ed25519Signature {

// Whether `signature` (64 bytes) is the Ed25519 signature of `message` by the holder of
// `publicKey` (32 raw bytes). Checked by OpenSSL's libcrypto, opened on first use; without it
// no signature verifies.
bool verifies(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature);

} // namespace qw::Ed25519Signature
