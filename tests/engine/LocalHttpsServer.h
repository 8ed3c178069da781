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
// gets the answer the handler gives; a `hang` answer is never sent.
class LocalHttpsServer : public QObject {
public:
    struct Request {
        QByteArray method;
        QByteArray target;
        QHash<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };
    struct Response {
        int status = 200;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
        bool hang = false;
    };

    LocalHttpsServer();

    static QSslCertificate certificate();

    quint16 port() const { return m_server.serverPort(); }
    void setHandler(std::function<Response(const Request&)> handler) { m_handler = std::move(handler); }
    // Answers every request with the given status and body.
    void respondWith(int status, QByteArray body, QList<std::pair<QByteArray, QByteArray>> headers = {});

    const QList<Request>& requests() const { return m_requests; }
    int handshakeFailures() const { return m_handshakeFailures; }

private:
    void serve(QSslSocket* socket);

    QSslServer m_server;
    std::function<Response(const Request&)> m_handler;
    QList<Request> m_requests;
    int m_handshakeFailures = 0;
};

} // namespace qw::test
