#pragma once

#include "engine/ChatTransport.h"

#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <optional>

namespace qw {

// The real HTTPS transport: nothing cached, no cookies kept or sent, no redirect followed,
// the desktop's proxy configuration honoured.
class NetworkChatTransport final : public ChatTransport {
public:
    struct Options {
        // Trusted in addition to the system's authorities (Qt ignores SSL_CERT_FILE).
        QList<QSslCertificate> extraCaCertificates;
        // A PEM file of further authorities, read at the first request: reading certificates
        // loads the whole TLS library, which a program that never sends anything should not carry.
        QString extraCaFile;
        // Replaces the system proxy configuration when set.
        std::optional<QNetworkProxy> proxy;
    };

    NetworkChatTransport();
    explicit NetworkChatTransport(Options options);
    ~NetworkChatTransport() override;

    QCoro::Task<TransportReply> post(QNetworkRequest request, QByteArray body,
                                     CancellationToken token) override;

private:
    void loadExtraCaFileOnce();

    Options m_options;
    QNetworkAccessManager m_manager;
};

} // namespace qw
