// What the whois client costs on the GUI thread to receive and parse big answers from a local server. The server is
// a child process forked before Qt starts, so its CPU time is not counted: CLOCK_PROCESS_CPUTIME_ID covers this
// process (all its threads) and never its children.

#include "whois/WhoisAnswer.h"
#include "whois/cWhoIs.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 FloodBytes = qint64(5) << 20;
constexpr qint64 TrickleBytes = qint64(1) << 20;
constexpr int TricklePieceBytes = 4096;
constexpr int TricklePauseMs = 2;
constexpr int Runs = 5;
constexpr int DatabaseZone = 6;

// One object of a database answer as such servers send it, repeated to make big answers.
const QByteArray DatabaseObject = "inetnum:        10.0.0.0 - 10.0.0.255\n"
                                  "netname:        FLOOD-NET\n"
                                  "descr:          Flood test network\n"
                                  "country:        NL\n"
                                  "org:            ORG-FL1-RIPE\n"
                                  "admin-c:        FL1-RIPE\n"
                                  "status:         ASSIGNED PA\n"
                                  "\n"
                                  "person:         Flood Person\n"
                                  "address:        Street 1\n"
                                  "address:        Town\n"
                                  "phone:          +31 20 000 0000\n"
                                  "% comment about the object\n"
                                  "\n";

double cpuMs(clockid_t clock)
{
    timespec t{};
    ::clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

bool sendAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, std::size_t(size), MSG_NOSIGNAL);
        if (n <= 0)
            return false; // the client cut the answer and closed
        data += n;
        size -= n;
    }
    return true;
}

// The child: one request a connection, "flood", "trickle" or "quit".
[[noreturn]] void serve(int listener)
{
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    QByteArray block;
    while (block.size() < 64 * 1024)
        block += DatabaseObject;
    for (;;) {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0)
            ::_exit(1);
        QByteArray request;
        char c = 0;
        while (!request.endsWith('\n') && ::recv(fd, &c, 1, 0) == 1)
            request.append(c);
        if (request.startsWith("quit")) {
            ::close(fd);
            ::_exit(0);
        }
        const bool trickle = request.startsWith("trickle");
        const qint64 total = trickle ? TrickleBytes + TricklePieceBytes : FloodBytes;
        const qint64 piece = trickle ? TricklePieceBytes : block.size();
        for (qint64 sent = 0; sent < total;) {
            const qint64 n = std::min({piece, total - sent, qint64(block.size())});
            if (!sendAll(fd, block.constData(), n))
                break;
            sent += n;
            if (trickle)
                std::this_thread::sleep_for(std::chrono::milliseconds(TricklePauseMs));
        }
        ::close(fd);
    }
}

struct Run {
    double cpuMs = 0, mainThreadCpuMs = 0, wallMs = 0;
    int parses = 0;
    qsizetype chars = 0;
    bool cut = false;
};

Run query(quint16 port, const QString& request)
{
    cWhoIs client(nullptr, WhoisServers::allAt(QStringLiteral("127.0.0.1")));
    client.setPortForListen(port);
    client.setZone(DatabaseZone); // with no HostName the request goes to the server as it stands
    Run run;
    QObject::connect(&client, &cWhoIs::ReturnMSG, [&run](const QString& text) { run.parses += !text.isEmpty(); });
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    const double thread0 = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    if (!client.ConnectToServer(request)) {
        std::fprintf(stderr, "cannot query the local server\n");
        std::exit(1);
    }
    while (client.isReceiving())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    run.cpuMs = cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    run.mainThreadCpuMs = cpuMs(CLOCK_THREAD_CPUTIME_ID) - thread0;
    run.wallMs = double(wall.nsecsElapsed()) / 1e6;
    run.chars = client.ReturnMessage().size();
    run.cut = client.ReturnMessage().endsWith(cWhoIs::CutLine + QStringLiteral("\r\n"));
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char* name, const std::vector<Run>& runs)
{
    std::vector<double> cpu, thread, wall;
    for (const Run& r : runs) {
        cpu.push_back(r.cpuMs);
        thread.push_back(r.mainThreadCpuMs);
        wall.push_back(r.wallMs);
    }
    std::printf("%s_cpu_ms: %.1f\n", name, median(cpu));
    std::printf("%s_cpu_ms_max: %.1f\n", name, *std::max_element(cpu.begin(), cpu.end()));
    std::printf("%s_main_thread_cpu_ms: %.1f\n", name, median(thread));
    std::printf("%s_wall_ms: %.1f\n", name, median(wall));
    std::printf("%s_parses: %d\n", name, runs.back().parses);
    std::printf("%s_answer_chars: %lld\n", name, static_cast<long long>(runs.back().chars));
    std::printf("%s_cut: %d\n", name, runs.back().cut ? 1 : 0);
}

// What re-cleaning and re-parsing the whole text after every 4096-byte read would cost for a 1 MiB answer.
void reportPerReadReparse()
{
    QString answer;
    while (answer.size() < cWhoIs::MaxAnswerBytes)
        answer += QString::fromLatin1(DatabaseObject);
    answer.truncate(cWhoIs::MaxAnswerBytes);
    double start = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    qsizetype sink = WhoisAnswer::parse(answer, DatabaseZone).text.size();
    std::printf("whois_parse_1mib_cpu_ms: %.1f\n", cpuMs(CLOCK_THREAD_CPUTIME_ID) - start);
    start = cpuMs(CLOCK_THREAD_CPUTIME_ID);
    for (qsizetype size = 4096; size <= answer.size(); size += 4096)
        sink += WhoisAnswer::parse(answer.left(size), DatabaseZone).country.size();
    std::printf("whois_reparse_every_4k_1mib_cpu_ms: %.1f\n", cpuMs(CLOCK_THREAD_CPUTIME_ID) - start);
    if (sink == 0)
        std::printf("unexpected: empty parse\n");
}

} // namespace

int main(int argc, char** argv)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror("listen on 127.0.0.1");
        return 1;
    }
    const quint16 port = ntohs(address.sin_port);
    const pid_t server = ::fork();
    if (server < 0) {
        std::perror("fork");
        return 1;
    }
    if (server == 0)
        serve(listener);
    ::close(listener);

    QCoreApplication app(argc, argv);
    std::printf("whois_server: child process (pid not counted in the CPU figures)\n");
    std::vector<Run> floods, trickles;
    for (int i = 0; i < Runs; ++i)
        floods.push_back(query(port, QStringLiteral("flood")));
    report("whois_5mib", floods);
    std::printf("whois_5mib_cpu_ms_target: 300\n");
    trickles.push_back(query(port, QStringLiteral("trickle")));
    report("whois_trickle_1mib", trickles);
    reportPerReadReparse();

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("whois_max_rss_kib: %ld\n", usage.ru_maxrss);

    cWhoIs quit(nullptr, WhoisServers::allAt(QStringLiteral("127.0.0.1")));
    quit.setPortForListen(port);
    quit.setZone(DatabaseZone);
    quit.ConnectToServer(QStringLiteral("quit"));
    int status = 0;
    ::waitpid(server, &status, 0);
    return 0;
}
