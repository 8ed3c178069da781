#include "engine/NetworkChatTransport.h"

#include "app/l10n/L10n.h"

#include <QCoroNetworkReply>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPointer>
#include <QSslConfiguration>

namespace qw {

namespace {

// Cookies from a provider would otherwise be replayed with later requests, possibly after the
// user switched keys; this jar never keeps one.
class RefusingCookieJar final : public QNetworkCookieJar {
public:
    using QNetworkCookieJar::QNetworkCookieJar;
    QList<QNetworkCookie> cookiesForUrl(const QUrl&) const override { return {}; }
    bool setCookiesFromUrl(const QList<QNetworkCookie>&, const QUrl&) override { return false; }
};

// Asks the desktop's proxy configuration for every request, for this manager only (the
// process-wide switch would affect every other network user too).
class SystemProxyFactory final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return QNetworkProxyFactory::systemProxyForQuery(query);
    }
};

class FixedProxyFactory final : public QNetworkProxyFactory {
public:
    explicit FixedProxyFactory(QNetworkProxy proxy) : m_proxy(std::move(proxy)) {}
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery&) override { return {m_proxy}; }

private:
    QNetworkProxy m_proxy;
};

// Errors that Qt derives from an HTTP status: the server did answer, with that status.
bool isHttpStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

} // namespace

NetworkChatTransport::NetworkChatTransport() : NetworkChatTransport(Options{}) {}

NetworkChatTransport::NetworkChatTransport(Options options) : m_options(std::move(options))
{
    m_manager.setCookieJar(new RefusingCookieJar(&m_manager));
    // The manager owns the factory.
    if (m_options.proxy)
        m_manager.setProxyFactory(new FixedProxyFactory(*m_options.proxy));
    else
        m_manager.setProxyFactory(new SystemProxyFactory);
    m_manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    m_manager.setStrictTransportSecurityEnabled(false);
}

NetworkChatTransport::~NetworkChatTransport() = default;

QCoro::Task<TransportReply> NetworkChatTransport::post(QNetworkRequest request, QByteArray body,
                                                       CancellationToken token)
{
    if (token.isCancelled())
        co_return TransportReply::cancelledReply();

    // A redirect would carry the Authorization header to wherever the server points: the 3xx
    // itself is the answer.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setTransferTimeout(static_cast<int>(m_options.transferTimeout.count()));
    if (!m_options.extraCaCertificates.isEmpty()) {
        QSslConfiguration tls = request.sslConfiguration();
        tls.addCaCertificates(m_options.extraCaCertificates);
        request.setSslConfiguration(tls);
    }

    QPointer<QNetworkReply> reply = m_manager.post(request, body);
    const quint64 cancelId = token.onCancel([reply]() {
        if (reply)
            reply->abort();
    });
    co_await reply.get();
    token.removeCallback(cancelId);

    if (!reply)
        co_return TransportReply::cancelledReply();
    reply->deleteLater();

    if (token.isCancelled())
        co_return TransportReply::cancelledReply();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        // An HTTP status of any kind is an answer, including the 4xx and 3xx that Qt also
        // reports as errors; the protocol decides what it means.
        if (reply->error() == QNetworkReply::NoError || isHttpStatusError(reply->error()))
            co_return TransportReply::response(status.toInt(), reply->readAll());
    }
    if (reply->error() == QNetworkReply::NoError) {
        TransportReply answer;
        answer.outcome = TransportReply::Outcome::response;
        answer.body = reply->readAll();
        co_return answer;
    }
    // Qt ends a transfer that timed out by aborting it, so the reply says "Operation canceled";
    // the caller did not cancel, so it can only have been the time-out.
    if (reply->error() == QNetworkReply::OperationCanceledError)
        co_return TransportReply::failure(L10n::text(L10N_KEY("翻译请求超时")));
    co_return TransportReply::failure(reply->errorString());
}

} // namespace qw
