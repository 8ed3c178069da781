#include "updates/HttpsFetcher.h"

#include <QCoroNetworkReply>
#include <QNetworkReply>
#include <QPointer>
#include <QSslConfiguration>

namespace qw {

namespace {
constexpr int maximumRedirects = 5;
// An inactivity limit: a slow but moving download of a large archive is fine.
constexpr int stalledTransferMilliseconds = 30 * 1000;
} // namespace

HttpsFetcher::HttpsFetcher(Options options) : m_options(std::move(options))
{
    m_manager.setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
    m_manager.setStrictTransportSecurityEnabled(false);
}

QCoro::Task<std::optional<QByteArray>> HttpsFetcher::get(QUrl url, qint64 limit, CancellationToken token)
{
    if (token.isCancelled() || url.scheme().toLower() != u"https")
        co_return std::nullopt;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maximumRedirects);
    request.setTransferTimeout(stalledTransferMilliseconds);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    if (!m_options.extraCaCertificates.isEmpty()) {
        QSslConfiguration tls = request.sslConfiguration();
        tls.addCaCertificates(m_options.extraCaCertificates);
        request.setSslConfiguration(tls);
    }

    QPointer<QNetworkReply> reply = m_manager.get(request);
    QNetworkReply* raw = reply.data();
    QObject::connect(raw, &QNetworkReply::redirected, raw, [raw](const QUrl& target) {
        if (target.scheme().toLower() == u"https")
            Q_EMIT raw->redirectAllowed();
        else
            raw->abort();
    });
    // Stops as soon as the answer announces or delivers more than the limit.
    QObject::connect(raw, &QNetworkReply::downloadProgress, raw, [raw, limit](qint64 received, qint64 total) {
        if (received > limit || total > limit)
            raw->abort();
    });
    const quint64 cancelId = token.onCancel([reply]() {
        if (reply)
            reply->abort();
    });
    co_await reply.get();
    token.removeCallback(cancelId);
    if (!reply)
        co_return std::nullopt;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (token.isCancelled() || reply->error() != QNetworkReply::NoError || status != 200)
        co_return std::nullopt;
    QByteArray body = reply->readAll();
    if (body.size() > limit)
        co_return std::nullopt;
    co_return body;
}

} // namespace qw
