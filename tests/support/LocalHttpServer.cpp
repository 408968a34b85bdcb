#include "LocalHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace {
constexpr const char* BufferProperty = "pendingBytes";
}

QByteArray LocalHttpServer::Request::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

LocalHttpServer::LocalHttpServer(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::onConnection);
}

LocalHttpServer::~LocalHttpServer()
{
    m_server.close();
}

bool LocalHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl LocalHttpServer::url(const QString& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

bool LocalHttpServer::waitForRequests(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_requests.size() >= count; }, timeoutMs);
}

quint16 LocalHttpServer::closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void LocalHttpServer::onConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LocalHttpServer::onData(QTcpSocket* socket)
{
    // Bytes of a request that is not complete yet stay with their connection.
    QByteArray buffer = socket->property(BufferProperty).toByteArray() + socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        socket->setProperty(BufferProperty, buffer);
        return;
    }
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    Request request;
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    request.method = start.value(0);
    request.path = start.value(1);
    qsizetype length = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon <= 0)
            continue;
        request.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        if (request.headers.constLast().first.compare("Content-Length", Qt::CaseInsensitive) == 0)
            length = request.headers.constLast().second.toLongLong();
    }
    if (buffer.size() < headerEnd + 4 + length) {
        socket->setProperty(BufferProperty, buffer);
        return;
    }
    request.body = buffer.mid(headerEnd + 4, length);
    socket->setProperty(BufferProperty, QByteArray());
    m_requests.append(request);

    const Answer scripted = m_answer;
    if (scripted.never)
        return;
    if (scripted.delayMs <= 0) {
        answer(socket, scripted);
        return;
    }
    QTimer::singleShot(scripted.delayMs, socket, [this, socket, scripted] { answer(socket, scripted); });
}

void LocalHttpServer::answer(QTcpSocket* socket, const Answer& answer)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + answer.reason + "\r\n";
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto& [name, value] : answer.headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    socket->write(head);
    socket->write(answer.body);
    // The client may drop the connection before all is written; closing once the data is out is enough.
    socket->disconnectFromHost();
}
