#pragma once

#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// The SMS gateway tvPing posts its alerts to: an HTTP server on 127.0.0.1 that answers every request with 200 and
// counts them. It listens in the network namespace of the thread that calls listen(), so a tvPing started inside a
// lab namespace reaches it on that namespace's loopback.
class SmsSink : public QObject {
    Q_OBJECT
public:
    explicit SmsSink(QObject* parent = nullptr);

    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    int requests() const { return m_requests; }
    // Connections accepted and not yet closed; a gateway client that never closes would show here.
    int openConnections() const { return m_open; }

private:
    void onConnection();
    void onData(QTcpSocket* socket);

    QTcpServer m_server;
    int m_requests = 0;
    int m_open = 0;
};
