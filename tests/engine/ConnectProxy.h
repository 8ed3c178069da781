#pragma once

#include <QByteArrayList>
#include <QTcpServer>

namespace qw::test {

// An HTTP CONNECT proxy on 127.0.0.1 that tunnels every connection to one local port, whatever
// host the client asked for. The client still verifies TLS against the host it asked for, so a
// request to a provider's real host reaches the local server over real TLS.
class ConnectProxy : public QObject {
public:
    explicit ConnectProxy(quint16 targetPort);

    quint16 port() const { return m_server.serverPort(); }
    // Answers every CONNECT with 407, as a proxy does that wants credentials the client lacks.
    void requireAuthentication() { m_requireAuthentication = true; }
    // The authorities clients asked to connect to, in order ("api.openai.com:443").
    const QByteArrayList& connectTargets() const { return m_targets; }

private:
    void serve(QTcpSocket* client);

    QTcpServer m_server;
    quint16 m_targetPort;
    QByteArrayList m_targets;
    bool m_requireAuthentication = false;
};

} // namespace qw::test
