#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <utility>

class QTcpSocket;

// A tiny HTTP/1.1 server on 127.0.0.1 at a port the system picks. It records every request and answers each one
// as scripted, one connection per request, so tests of HTTP clients never leave the machine.
class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method, path, body;
        QList<std::pair<QByteArray, QByteArray>> headers; // in arrival order, names as sent
        QByteArray header(const QByteArray& name) const;  // first value of that name, compared without case
    };
    struct Answer {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers; // extra header lines
        int delayMs = 0;                                  // wait this long after the request before answering
        bool never = false;                               // keep the connection open and never answer
    };

    explicit LocalHttpServer(QObject* parent = nullptr);
    ~LocalHttpServer() override;

    bool listen(); // on 127.0.0.1, any free port
    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString& path = QStringLiteral("/")) const;

    void setAnswer(const Answer& answer) { m_answer = answer; } // for every request from now on
    const QList<Request>& requests() const { return m_requests; }
    // Lets events run until `count` requests arrived or `timeoutMs` passed.
    bool waitForRequests(int count, int timeoutMs = 5000);

    // A port on 127.0.0.1 with nobody listening (bound once, then released), so connecting is refused.
    static quint16 closedPort();

private:
    void onConnection();
    void onData(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Answer& answer);

    QTcpServer m_server;
    Answer m_answer;
    QList<Request> m_requests;
};
