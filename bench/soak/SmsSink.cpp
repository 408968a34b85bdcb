#include "SmsSink.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {

constexpr qsizetype MaxRequestBytes = 64 * 1024;

} // namespace

SmsSink::SmsSink(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &SmsSink::onConnection);
}

bool SmsSink::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

void SmsSink::onConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++m_open;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_open;
            socket->deleteLater();
        });
    }
}

void SmsSink::onData(QTcpSocket* socket)
{
    // The request is kept on the socket until it is whole: headers, then as many body bytes as Content-Length says.
    QByteArray buffer = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", buffer);
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        if (buffer.size() > MaxRequestBytes)
            socket->abort();
        return;
    }
    qsizetype bodyBytes = 0;
    for (const QByteArray& line : buffer.left(headerEnd).split('\n')) {
        const QByteArray header = line.trimmed();
        if (header.toLower().startsWith("content-length:"))
            bodyBytes = header.mid(15).trimmed().toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + bodyBytes)
        return;
    ++m_requests;
    socket->setProperty("request", QByteArray());
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 3\r\nConnection: close\r\n\r\nOK\n");
    socket->disconnectFromHost();
}
