#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>
#include <optional>

namespace qw {

// The validated update metadata: where the feed is and the key that signs the archives.
struct UpdateConfiguration {
    QUrl feed;
    // Base64 of a 32-byte Ed25519 public key, as the metadata gives it.
    QString publicKey;

    // The configuration the program's metadata describes, or none when updating is switched
    // off or any part of it is not usable.
    static std::optional<UpdateConfiguration> from(const QVariantMap& info);
    // The 32 bytes of the key.
    QByteArray publicKeyBytes() const;
};

} // namespace qw
