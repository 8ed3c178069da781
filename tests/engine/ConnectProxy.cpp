#include "ConnectProxy.h"

#include <QTcpSocket>
#include <memory>

namespace qw::test {

ConnectProxy::ConnectProxy(quint16 targetPort) : m_targetPort(targetPort)
{
    QObject::connect(&m_server, &QTcpServer::newConnection, this, [this]() {
        while (m_server.hasPendingConnections())
            serve(m_server.nextPendingConnection());
    });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("the test proxy cannot listen");
}

void ConnectProxy::serve(QTcpSocket* client)
{
    client->setParent(this);
    auto upstream = new QTcpSocket(client);
    auto header = std::make_shared<QByteArray>();
    auto tunnelling = std::make_shared<bool>(false);

    QObject::connect(client, &QTcpSocket::readyRead, this, [this, client, upstream, header, tunnelling]() {
        if (*tunnelling) {
            upstream->write(client->readAll());
            return;
        }
        header->append(client->readAll());
        const qsizetype end = header->indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> requestLine = header->left(header->indexOf("\r\n")).split(' ');
        if (requestLine.value(0) != "CONNECT") {
            client->write("HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n");
            client->disconnectFromHost();
            return;
        }
        m_targets.append(requestLine.value(1));
        if (m_requireAuthentication) {
            client->write("HTTP/1.1 407 Proxy Authentication Required\r\n"
                          "Proxy-Authenticate: Basic realm=\"test\"\r\nContent-Length: 0\r\n\r\n");
            client->disconnectFromHost();
            return;
        }
        const QByteArray early = header->mid(end + 4);
        QObject::connect(upstream, &QTcpSocket::connected, client, [client, upstream, early, tunnelling]() {
            *tunnelling = true;
            client->write("HTTP/1.1 200 Connection established\r\n\r\n");
            if (!early.isEmpty())
                upstream->write(early);
        });
        upstream->connectToHost(QHostAddress::LocalHost, m_targetPort);
    });
    QObject::connect(upstream, &QTcpSocket::readyRead, client,
                     [client, upstream]() { client->write(upstream->readAll()); });
    QObject::connect(upstream, &QTcpSocket::disconnected, client,
                     [client]() { client->disconnectFromHost(); });
    QObject::connect(client, &QTcpSocket::disconnected, client, [client, upstream]() {
        upstream->disconnectFromHost();
        client->deleteLater();
    });
}

} // namespace qw::test
