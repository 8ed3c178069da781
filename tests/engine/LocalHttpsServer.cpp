#include "LocalHttpsServer.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>

namespace qw::test {

namespace {

QByteArray readDataFile(const char* name)
{
    QFile file(QStringLiteral(QW_SOURCE_DIR "/tests/engine/data/") + QString::fromLatin1(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data file %s", name);
    return file.readAll();
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    default:
        return "Status";
    }
}

} // namespace

LocalHttpsServer::LocalHttpsServer()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate());
    tls.setPrivateKey(QSslKey(readDataFile("test-server.key"), QSsl::Rsa));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(tls);
    QObject::connect(&m_server, &QSslServer::pendingConnectionAvailable, this, [this]() {
        while (m_server.hasPendingConnections())
            serve(static_cast<QSslSocket*>(m_server.nextPendingConnection()));
    });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("the test HTTPS server cannot listen");
    respondWith(200, "{}");
}

QSslCertificate LocalHttpsServer::certificate()
{
    return QSslCertificate(readDataFile("test-server.pem"), QSsl::Pem);
}

void LocalHttpsServer::respondWith(int status, QByteArray body,
                                   QList<std::pair<QByteArray, QByteArray>> headers)
{
    m_handler = [status, body, headers](const Request&) {
        return Response{status, body, headers, Delivery::whole};
    };
}

void LocalHttpsServer::serve(QSslSocket* socket)
{
    socket->setParent(this);
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QSslSocket::readyRead, this, [this, socket, buffer]() {
        buffer->append(socket->readAll());
        const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer->size() < headerEnd + 4 + length)
            return;
        request.body = buffer->mid(headerEnd + 4, length);
        buffer->clear();
        m_requests.append(request);

        const Response response = m_handler(request);
        if (response.delivery == Delivery::never)
            return;
        const bool trickle = response.delivery == Delivery::trickle;
        QByteArray text = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                          reasonPhrase(response.status) +
                          "\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                          QByteArray::number(trickle ? 1000000 : response.body.size()) + "\r\n";
        for (const auto& [name, value] : response.headers)
            text += name + ": " + value + "\r\n";
        text += "\r\n";
        if (!trickle) {
            socket->write(text + response.body);
            socket->disconnectFromHost();
            return;
        }
        socket->write(text);
        auto timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [this, socket]() {
            socket->write(" ");
            ++m_trickledBytes;
        });
        timer->start(50);
    });
}

} // namespace qw::test
