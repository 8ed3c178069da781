#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSslCertificate>
#include <QSslServer>
#include <functional>

namespace qw::test {

// A small HTTPS/1.1 server on 127.0.0.1 with the checked-in test certificate (valid for
// localhost, 127.0.0.1 and the providers' API hosts). Each connection carries one request and
// gets the answer the handler gives, at once, never, or a byte at a time.
class LocalHttpsServer : public QObject {
public:
    struct Request {
        QByteArray method;
        QByteArray target;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };
    enum class Delivery {
        whole,
        never,
        // The status line and headers, then one byte of a long body every 50 ms until the
        // client goes away.
        trickle,
    };
    struct Response {
        int status = 200;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
        Delivery delivery = Delivery::whole;
    };

    LocalHttpsServer();

    static QSslCertificate certificate();

    quint16 port() const { return m_server.serverPort(); }
    void setHandler(std::function<Response(const Request&)> handler) { m_handler = std::move(handler); }
    // Answers every request with the given status and body.
    void respondWith(int status, QByteArray body, QList<std::pair<QByteArray, QByteArray>> headers = {});

    const QList<Request>& requests() const { return m_requests; }
    int trickledBytes() const { return m_trickledBytes; }

private:
    void serve(QSslSocket* socket);

    QSslServer m_server;
    std::function<Response(const Request&)> m_handler;
    QList<Request> m_requests;
    int m_trickledBytes = 0;
};

} // namespace qw::test
