#include "engine/NetworkChatTransport.h"

#include <QCoroNetworkReply>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslError>
#include <memory>

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

// The engine's own words for a request that got no HTTP answer; Qt's error strings are English
// and carry the whole URL.
TranslationError failureFor(QNetworkReply::NetworkError error, bool certificateRejected)
{
    if (certificateRejected)
        return TranslationError::untrustedCertificate();
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return TranslationError::hostNotFound();
    case QNetworkReply::ConnectionRefusedError:
        return TranslationError::connectionRefused();
    case QNetworkReply::TimeoutError:
        return TranslationError::timedOut();
    case QNetworkReply::ProxyAuthenticationRequiredError:
        // The proxy answered 407 to the tunnel request, which Qt does not report as a status.
        return TranslationError::httpError(407);
    default:
        return TranslationError::networkFailure();
    }
}

} // namespace

void NetworkChatTransport::loadExtraCaFileOnce()
{
    if (m_options.extraCaFile.isEmpty())
        return;
    m_options.extraCaCertificates += QSslCertificate::fromPath(m_options.extraCaFile, QSsl::Pem);
    m_options.extraCaFile.clear();
}

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
    loadExtraCaFileOnce();
    if (!m_options.extraCaCertificates.isEmpty()) {
        QSslConfiguration tls = request.sslConfiguration();
        tls.addCaCertificates(m_options.extraCaCertificates);
        request.setSslConfiguration(tls);
    }

    QPointer<QNetworkReply> reply = m_manager.post(request, body);
    // Certificate problems end the handshake as a generic TLS failure; the list tells them apart.
    auto certificateRejected = std::make_shared<bool>(false);
    QObject::connect(
        reply, &QNetworkReply::sslErrors, reply,
        [certificateRejected](const QList<QSslError>& errors) { *certificateRejected = !errors.isEmpty(); });
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

    // Any HTTP status is an answer, including the 4xx, 5xx and 3xx that Qt also reports as
    // errors (each with its own error code): the protocol decides what it means.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid())
        co_return TransportReply::response(status.toInt(), reply->readAll());
    if (reply->error() == QNetworkReply::NoError) {
        TransportReply answer;
        answer.outcome = TransportReply::Outcome::response;
        answer.body = reply->readAll();
        co_return answer;
    }
    co_return TransportReply::failed(failureFor(reply->error(), *certificateRejected));
}

} // namespace qw
