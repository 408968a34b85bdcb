#include "WhoisLoop.h"

#include "ProcessSample.h"
#include "whois/cWhoIs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int WarmUpLookups = 10;
constexpr int LookupTimeoutMs = 5000;

const char Answer[] = "% soak whois server\n"
                      "\n"
                      "inetnum:        198.18.7.0 - 198.18.7.255\n"
                      "netname:        SOAK-NET\n"
                      "descr:          Soak test network\n"
                      "country:        NL\n"
                      "status:         ASSIGNED PA\n"
                      "\n";

// Answers every connection with the same object and closes it, on a thread of its own so the client's blocking
// connect and its polling on the GUI thread are served meanwhile.
class WhoisServer {
public:
    WhoisServer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~WhoisServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listener >= 0)
            ::close(m_listener);
    }
    WhoisServer(const WhoisServer&) = delete;
    WhoisServer& operator=(const WhoisServer&) = delete;

    quint16 port() const { return m_port; }

private:
    void serve()
    {
        while (!m_stop) {
            // A short poll, so the destructor never waits long for the thread.
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            char c = 0;
            pollfd in{fd, POLLIN, 0};
            // The request is one line; the answer does not depend on it.
            while (::poll(&in, 1, 2000) > 0 && ::recv(fd, &c, 1, 0) == 1 && c != '\n') {
            }
            ::send(fd, Answer, sizeof Answer - 1, MSG_NOSIGNAL);
            ::close(fd);
        }
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool lookUp(QTimer& poll, quint16 port, int index)
{
    cWhoIs client(&poll, WhoisServers::allAt(QStringLiteral("127.0.0.1")));
    client.setPortForListen(port);
    // A dotted address is never looked up in DNS, and the request ("-L ADDRESS") goes to the server as it is.
    client.setHostName(QStringLiteral("198.18.7.%1").arg(1 + index % 254));
    if (!client.ConnectToServer(QString()))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (client.isReceiving() && waited.elapsed() < LookupTimeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return !client.isReceiving() && client.NetworkName() == QStringLiteral("SOAK-NET") &&
           client.Country() == QStringLiteral("NL");
}

} // namespace

bool measureWhoisLoop(int lookups)
{
    WhoisServer server;
    if (server.port() == 0) {
        std::perror("whois server on 127.0.0.1");
        return false;
    }
    // The console lends its own poll timer to every client it makes.
    QTimer poll;
    poll.setInterval(cWhoIs::PollIntervalMs);
    for (int i = 0; i < WarmUpLookups; ++i)
        lookUp(poll, server.port(), i);

    const ProcessSample start = ProcessSample::of(::getpid());
    int ok = 0;
    for (int i = 0; i < lookups; ++i)
        ok += lookUp(poll, server.port(), i) ? 1 : 0;
    const ProcessSample end = ProcessSample::of(::getpid());

    std::printf("whois_lookups: %d\n", lookups);
    std::printf("whois_lookups_ok: %d\n", ok);
    std::printf("whois_rss_start_mb: %.2f\n", start.rssMb);
    std::printf("whois_rss_end_mb: %.2f\n", end.rssMb);
    std::printf("whois_fd_start: %d\n", start.fds);
    std::printf("whois_fd_end: %d\n", end.fds);
    std::fflush(stdout);
    return true;
}
