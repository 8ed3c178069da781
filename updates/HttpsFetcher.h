#pragma once

#include "core/CancellationToken.h"

#include <QCoroTask>
#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QUrl>
#include <optional>

namespace qw {

// Fetches the update feed and archives over HTTPS: nothing cached, no cookies, redirects
// followed only while they stay on https, and never more than a given number of bytes.
class HttpsFetcher {
public:
    struct Options {
        // Trusted in addition to the system's authorities.
        QList<QSslCertificate> extraCaCertificates;
    };

    explicit HttpsFetcher(Options options = {});

    // The body of a 200 answer to a GET of `url`; none on any failure, when a redirect leads
    // away from https, or when the body would be longer than `limit` bytes.
    QCoro::Task<std::optional<QByteArray>> get(QUrl url, qint64 limit, CancellationToken token);

private:
    Options m_options;
    QNetworkAccessManager m_manager;
};

} // namespace qw
