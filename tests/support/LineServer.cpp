#include "LineServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int SliceMs = 20; // waits are cut into slices so a server being destroyed stops promptly

int boundLoopbackSocket(quint16* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

} // namespace

LineServer::LineServer(Script script, int connections) : m_script(std::move(script))
{
    m_listener = boundLoopbackSocket(&m_port);
    if (m_listener >= 0 && ::listen(m_listener, 8) != 0) {
        ::close(m_listener);
        m_listener = -1;
    }
    if (m_listener < 0) {
        m_port = 0;
        m_finished = true;
        return;
    }
    m_thread = std::thread([this, connections] { run(connections); });
}

LineServer::~LineServer()
{
    m_stop = true;
    openGate();
    if (m_thread.joinable())
        m_thread.join();
    if (m_listener >= 0)
        ::close(m_listener);
}

void LineServer::openGate()
{
    {
        std::lock_guard lock(m_gateMutex);
        ++m_gateOpenings;
    }
    m_gateOpened.notify_all();
}

void LineServer::run(int connections)
{
    for (int index = 0; index < connections && !m_stop; ++index) {
        int fd = -1;
        while (!m_stop && fd < 0) {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, SliceMs) > 0)
                fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        }
        if (fd < 0)
            break;
        Connection connection(*this, fd);
        m_script(connection, index);
        if (connection.m_fd >= 0)
            ::close(connection.m_fd);
    }
    m_finished.store(true, std::memory_order_release);
}

bool LineServer::Connection::waitFor(short events, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_server.m_stop && m_fd >= 0) {
        pollfd p{m_fd, events, 0};
        const int n = ::poll(&p, 1, SliceMs);
        if (n > 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    }
    return false;
}

QByteArray LineServer::Connection::readLine(int timeoutMs)
{
    QByteArray line;
    char c = 0;
    while (!line.endsWith('\n') && waitFor(POLLIN, timeoutMs)) {
        if (::recv(m_fd, &c, 1, 0) != 1)
            break;
        line.append(c);
    }
    return line;
}

bool LineServer::Connection::send(const QByteArray& bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return false;
    }
    return true;
}

qint64 LineServer::Connection::flood(qint64 bytes, const QByteArray& line)
{
    QByteArray block;
    while (block.size() < 64 * 1024)
        block += line;
    qint64 sent = 0;
    while (sent < bytes && !m_server.m_stop) {
        const qint64 part = std::min<qint64>(block.size(), bytes - sent);
        const ssize_t n = ::send(m_fd, block.constData(), std::size_t(part), MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && errno != EINTR)
            break; // the client closed or reset the connection
    }
    return sent;
}

bool LineServer::Connection::waitForData(int timeoutMs)
{
    return waitFor(POLLIN, timeoutMs);
}

bool LineServer::Connection::waitForClientClose(int timeoutMs)
{
    char buffer[4096];
    while (waitFor(POLLIN, timeoutMs)) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR))
            return true;
    }
    return false;
}

bool LineServer::Connection::waitForGate(int timeoutMs)
{
    std::unique_lock lock(m_server.m_gateMutex);
    const bool opened = m_server.m_gateOpened.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                       [this] { return m_server.m_gateOpenings > 0; });
    if (opened)
        --m_server.m_gateOpenings;
    return opened && !m_server.m_stop;
}

void LineServer::Connection::resetNow()
{
    linger option{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    ::close(m_fd);
    m_fd = -1;
}

RefusingPort::RefusingPort()
{
    m_fd = boundLoopbackSocket(&m_port);
}

RefusingPort::~RefusingPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
