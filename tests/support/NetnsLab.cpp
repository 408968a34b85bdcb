#include "NetnsLab.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <unistd.h>

namespace {

constexpr int CommandTimeoutMs = 20000;

std::atomic<int> g_liveLabs{0};
std::atomic<int> g_labCounter{0};

QString processPrefix()
{
    return QStringLiteral("tvk%1-").arg(::getpid());
}

bool runCommand(const QString& program, const QStringList& arguments, QString* error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(CommandTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("`%1 %2` failed: %3")
                         .arg(program, arguments.join(QLatin1Char(' ')),
                              process.error() == QProcess::FailedToStart
                                  ? process.errorString()
                                  : QString::fromLocal8Bit(process.readAll()).trimmed());
        return false;
    }
    return true;
}

void removeNamespace(const QString& name)
{
    runCommand(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("delete"), name}, nullptr);
    QDir(QStringLiteral("/etc/netns/") + name).removeRecursively();
}

// A process killed with a lab alive (a crash, a time-out, a closed pipe) leaves its namespaces behind. The pid in
// their names tells whether their owner still runs; the leftovers of dead owners are cleared.
void removeLeftovers()
{
    static const QRegularExpression owned(QStringLiteral("^tvk(\\d+)-"));
    for (const QString& dir : {QStringLiteral("/run/netns"), QStringLiteral("/etc/netns")}) {
        for (const QString& name : QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
            const auto match = owned.match(name);
            if (!match.hasMatch())
                continue;
            const pid_t owner = match.captured(1).toInt();
            const bool ownerRuns = owner != ::getpid() && (::kill(owner, 0) == 0 || errno == EPERM);
            if (!ownerRuns)
                removeNamespace(name);
        }
    }
}

QString address(int link, int host)
{
    return QStringLiteral("198.18.%1.%2").arg(link).arg(host);
}

} // namespace

NetnsLab::NetnsLab()
{
    if (g_liveLabs.fetch_add(1) == 0 && haveRoot())
        removeLeftovers();
    m_prefix = processPrefix() + QString::number(g_labCounter.fetch_add(1)) + QLatin1Char('-');
    if (!haveRoot())
        m_error = QStringLiteral("network namespaces need root");
}

NetnsLab::~NetnsLab()
{
    for (auto it = m_namespaces.crbegin(); it != m_namespaces.crend(); ++it)
        removeNamespace(*it);
    g_liveLabs.fetch_sub(1);
}

bool NetnsLab::haveRoot()
{
    return ::geteuid() == 0;
}

bool NetnsLab::run(const QStringList& ipArguments)
{
    if (!ok())
        return false;
    return runCommand(QStringLiteral("ip"), ipArguments, &m_error);
}

QString NetnsLab::addNamespace(const QString& role)
{
    const QString name = m_prefix + role;
    if (!ok())
        return name;
    m_namespaces << name; // before it exists, so a half-made namespace is removed as well
    run({QStringLiteral("netns"), QStringLiteral("add"), name});
    run({QStringLiteral("-n"), name, QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"),
         QStringLiteral("up")});
    return name;
}

bool NetnsLab::link(const QString& a, const QString& aAddress, const QString& b, const QString& bAddress)
{
    // Both ends are created straight inside their namespaces, so no name ever appears in the host's namespace and
    // the same interface name can be used on both sides.
    const QString dev = QStringLiteral("lab%1").arg(m_links++);
    run({QStringLiteral("-n"), a, QStringLiteral("link"), QStringLiteral("add"), dev, QStringLiteral("type"),
         QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), dev, QStringLiteral("netns"), b});
    for (const auto& [ns, addr] : {std::pair{a, aAddress}, std::pair{b, bAddress}}) {
        run({QStringLiteral("-n"), ns, QStringLiteral("addr"), QStringLiteral("add"), addr, QStringLiteral("dev"),
             dev});
        run({QStringLiteral("-n"), ns, QStringLiteral("link"), QStringLiteral("set"), dev, QStringLiteral("up")});
    }
    return ok();
}

bool NetnsLab::addRoute(const QString& ns, const QStringList& args)
{
    return run(QStringList{QStringLiteral("-n"), ns, QStringLiteral("route"), QStringLiteral("add")} + args);
}

bool NetnsLab::sysctl(const QString& ns, const QString& key, const QString& value)
{
    return exec(ns, {QStringLiteral("sysctl"), QStringLiteral("-qw"), key + QLatin1Char('=') + value});
}

bool NetnsLab::makeRouter(const QString& ns)
{
    sysctl(ns, QStringLiteral("net.ipv4.ip_forward"), QStringLiteral("1"));
    return sysctl(ns, QStringLiteral("net.ipv4.icmp_ratelimit"), QStringLiteral("0"));
}

bool NetnsLab::setHosts(const QString& ns, const QString& text)
{
    if (!ok())
        return false;
    const QString dir = QStringLiteral("/etc/netns/") + ns;
    QFile file(dir + QStringLiteral("/hosts"));
    if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write %1").arg(file.fileName());
        return false;
    }
    return true;
}

QStringList NetnsLab::execArguments(const QString& ns, const QStringList& command)
{
    return QStringList{QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("exec"), ns} + command;
}

bool NetnsLab::exec(const QString& ns, const QStringList& command)
{
    return run(execArguments(ns, command).mid(1));
}

bool buildChain(NetnsLab& lab, int routers, LabChain* chain)
{
    *chain = LabChain{};
    chain->client = lab.addNamespace(QStringLiteral("client"));
    for (int i = 1; i <= routers; ++i) {
        chain->routers << lab.addNamespace(QStringLiteral("r%1").arg(i));
        lab.makeRouter(chain->routers.back());
    }
    chain->target = lab.addNamespace(QStringLiteral("target"));

    const QStringList nodes = QStringList{chain->client} + chain->routers + QStringList{chain->target};
    for (int k = 0; k + 1 < nodes.size(); ++k)
        lab.link(nodes[k], address(k, 1) + QStringLiteral("/24"), nodes[k + 1], address(k, 2) + QStringLiteral("/24"));

    const QString lab15 = QStringLiteral("198.18.0.0/15");
    const QString via = QStringLiteral("via");
    lab.addRoute(chain->client, {lab15, via, address(0, 2)});
    for (int i = 1; i <= routers; ++i) {
        lab.addRoute(nodes[i], {lab15, via, address(i, 2)}); // onwards to the target
        for (int k = 0; k < i - 1; ++k)                      // back towards the client
            lab.addRoute(nodes[i], {address(k, 0) + QStringLiteral("/24"), via, address(i - 1, 1)});
    }
    lab.addRoute(chain->target, {lab15, via, address(routers, 1)});

    QString hosts = address(0, 1) + QStringLiteral(" client.lab.test\n");
    for (int i = 1; i <= routers; ++i) {
        chain->routerAddresses.push_back(ipv4(address(i - 1, 2).toLatin1().constData()));
        chain->routerNames << QStringLiteral("hop%1.lab.test").arg(i);
        hosts += address(i - 1, 2) + QLatin1Char(' ') + chain->routerNames.back() + QLatin1Char('\n');
    }
    hosts += address(routers, 2) + QLatin1Char(' ') + chain->targetName + QLatin1Char('\n');
    lab.setHosts(chain->client, hosts);

    chain->clientAddress = ipv4(address(0, 1).toLatin1().constData());
    chain->targetAddress = ipv4(address(routers, 2).toLatin1().constData());
    return lab.ok();
}

ScopedNetns::ScopedNetns(const QString& ns)
{
    m_original = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = ::open(QFile::encodeName(QStringLiteral("/run/netns/") + ns).constData(), O_RDONLY | O_CLOEXEC);
    if (m_original < 0 || target < 0) {
        m_error = QStringLiteral("cannot open the namespaces of this thread or of %1").arg(ns);
    } else if (::setns(target, CLONE_NEWNET) != 0) {
        m_error = QStringLiteral("setns into %1: %2").arg(ns, QString::fromLocal8Bit(std::strerror(errno)));
    } else {
        m_entered = true;
    }
    if (target >= 0)
        ::close(target);
}

ScopedNetns::~ScopedNetns()
{
    // A thread left behind in a lab namespace would run every later test there; better stop at once.
    if (m_entered && ::setns(m_original, CLONE_NEWNET) != 0)
        qFatal("cannot return the thread to its network namespace: %s", std::strerror(errno));
    if (m_original >= 0)
        ::close(m_original);
}

std::uint32_t ipv4(const char* dotted)
{
    in_addr a{};
    ::inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

QString ipv4Text(std::uint32_t address)
{
    in_addr a{};
    a.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return QString::fromLatin1(text);
}
