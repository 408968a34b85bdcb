// Wall time of a full route trace with our tracer next to traceroute and mtr, on a line of eight routers in network
// namespaces. All figures are taken inside the client namespace by one process started there with `ip netns exec`
// (which alone costs about 20 ms here, so it is kept out of every figure):
//   trace_ours_ms            DoTrace in a running program, which is how the user traces: a click in tvPing
//   trace_ours_process_ms    a fresh process doing one trace, Qt start-up included, like-for-like with the tools
//   trace_traceroute_ms      `traceroute -I -n -q1`: ICMP echoes like ours, but from TTL 1, up to 16 at once and
//                            without names; the fair counterpart (same probe kind), so the ratio uses it
//   trace_traceroute_seq_ms  the same with `-N 1`: one probe at a time, as ours sends them
//   trace_traceroute_udp_ms  traceroute's default UDP probes
//   trace_mtr_ms             `mtr -n -r -c1`: parallel probes, then it waits out its grace time (5 s by default);
//                            trace_mtr_grace_100ms_ms is the same with `-G 0.1`
// Our tracer also looks up every hop's name; the client's hosts file names them all. The same traces without that
// file show the cost of lookups that must fall through to DNS, which has no route out of the lab.

#include "tests/support/NetnsLab.h"
#include "tests/trace/TableGrid.h"
#include "trace/Trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int Routers = 8;
constexpr int RoundCount = 10;
constexpr int TimeoutMs = 1000;

double msSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Sums the time spent inside the echo calls.
class TimedEcho final : public IcmpEchoService {
public:
    explicit TimedEcho(IcmpEchoService& inner) : m_inner(inner) {}
    std::unique_ptr<IcmpEchoHandle> open() override { return std::make_unique<Handle>(m_inner.open(), &spentMs); }
    double spentMs = 0;

private:
    class Handle final : public IcmpEchoHandle {
    public:
        Handle(std::unique_ptr<IcmpEchoHandle> inner, double* spentMs) : m_inner(std::move(inner)), m_spentMs(spentMs)
        {}
        int sendEcho(const EchoRequest& request, EchoReply* reply) override
        {
            const auto start = SteadyClock::now();
            const int replies = m_inner->sendEcho(request, reply);
            *m_spentMs += msSince(start);
            return replies;
        }

    private:
        std::unique_ptr<IcmpEchoHandle> m_inner;
        double* m_spentMs;
    };
    IcmpEchoService& m_inner;
};

template <typename F> auto timed(double& spentMs, F work)
{
    const auto start = SteadyClock::now();
    auto result = work();
    spentMs += msSince(start);
    return result;
}

// Sums the time spent in name work: resolving the host and the reverse lookup of every hop.
class TimedNames final : public TraceResolver {
public:
    bool startSockets() override { return m_inner.startSockets(); }
    QString localHostName() override { return m_inner.localHostName(); }
    QString hostToDotted(QString& name) override
    {
        return timed(spentMs, [&] { return m_inner.hostToDotted(name); });
    }
    std::uint32_t resolveAddress(const QString& text) override
    {
        return timed(spentMs, [&] { return m_inner.resolveAddress(text); });
    }
    QString reverseLookup(std::uint32_t address) override
    {
        return timed(spentMs, [&] { return m_inner.reverseLookup(address); });
    }
    double spentMs = 0;

private:
    TraceResolver& m_inner = systemTraceResolver();
};

struct Round {
    double totalMs = 0;
    double echoMs = 0;
    double nameMs = 0;
    int rows = 0;
    bool completed = false;
};

Round traceOnce(const QString& host)
{
    TimedEcho echo(systemIcmpEchoService());
    TimedNames names;
    Trace trace(echo, names);
    Round round;
    QObject::connect(&trace, &Trace::LogString, [&](const QString& text) {
        round.completed = round.completed || text == QLatin1String("Route Trace has Completed");
    });
    TableGrid grid;
    trace.setHosts(host);
    const auto start = SteadyClock::now();
    trace.DoTrace(grid, TimeoutMs);
    round.totalMs = msSince(start);
    round.echoMs = echo.spentMs;
    round.nameMs = names.spentMs;
    round.rows = grid.filledRows();
    return round;
}

// --trace-rounds N HOST: N traces in this process, one line each: "ROUND <total ms> <echo ms> <name ms> <rows>
// <completed>".
int traceRounds(int rounds, const QString& host)
{
    for (int i = 0; i < rounds; ++i) {
        const Round r = traceOnce(host);
        std::printf("ROUND %.3f %.3f %.3f %d %d\n", r.totalMs, r.echoMs, r.nameMs, r.rows, r.completed ? 1 : 0);
    }
    std::fflush(stdout);
    return 0;
}

struct ProcessRun {
    double wallMs = 0;
    bool ok = false;
    QString output;
};

ProcessRun runProcess(const QStringList& command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    ProcessRun run;
    const auto start = SteadyClock::now();
    process.start(command.first(), command.mid(1));
    const bool finished = process.waitForFinished(60000);
    run.wallMs = msSince(start);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    run.output = QString::fromLocal8Bit(process.readAll());
    run.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return run;
}

// The last hop line of traceroute or mtr names the target when the tool got there.
bool reachedTarget(const QString& output, const QString& target)
{
    const QStringList lines = output.trimmed().split(u'\n');
    return !lines.isEmpty() && lines.last().contains(QLatin1Char(' ') + target + QLatin1Char(' '));
}

struct Rounds {
    std::vector<double> totalMs, echoMs, nameMs;
    int failures = 0;

    void add(const Round& r, int expectedRows)
    {
        totalMs.push_back(r.totalMs);
        echoMs.push_back(r.echoMs);
        nameMs.push_back(r.nameMs);
        failures += r.rows != expectedRows || !r.completed;
    }
};

struct Tool {
    Tool(const char* name, QStringList line) : figure(name), command(std::move(line)) {}
    const char* figure;
    QStringList command;
    std::vector<double> wallMs;
    int failures = 0;
};

// --inside TARGET ROWS, run in the client namespace: every figure but the one without hosts file.
int measureInside(const QString& target, int expectedRows)
{
    // traceroute lives in /usr/sbin, which a root shell has on its PATH but a service account may not.
    QString traceroute = QStandardPaths::findExecutable(QStringLiteral("traceroute"));
    if (traceroute.isEmpty())
        traceroute = QStandardPaths::findExecutable(QStringLiteral("traceroute"), {QStringLiteral("/usr/sbin")});
    const QString mtr = QStandardPaths::findExecutable(QStringLiteral("mtr"));
    if (traceroute.isEmpty())
        std::fprintf(stderr, "traceroute is missing (Debian package traceroute): its figures are left out\n");
    if (mtr.isEmpty())
        std::fprintf(stderr, "mtr is missing (Debian package mtr-tiny): its figures are left out\n");

    const QString self = QCoreApplication::applicationFilePath();
    std::vector<Tool> tools;
    tools.emplace_back("trace_ours_process_ms",
                       QStringList{self, QStringLiteral("--trace-rounds"), QStringLiteral("1"), target});
    if (!traceroute.isEmpty()) {
        tools.emplace_back("trace_traceroute_ms", QStringList{traceroute, "-I", "-n", "-q1", target});
        tools.emplace_back("trace_traceroute_seq_ms", QStringList{traceroute, "-I", "-n", "-q1", "-N", "1", target});
        tools.emplace_back("trace_traceroute_udp_ms", QStringList{traceroute, "-n", "-q1", target});
    }
    if (!mtr.isEmpty()) {
        tools.emplace_back("trace_mtr_ms", QStringList{mtr, "-n", "-r", "-c1", target});
        tools.emplace_back("trace_mtr_grace_100ms_ms", QStringList{mtr, "-n", "-r", "-c1", "-G", "0.1", target});
    }
    tools.emplace_back("process_start_true_ms", QStringList{QStringLiteral("/bin/true")});

    // One of each first, not counted: page cache, neighbour tables, the resolver's modules.
    traceOnce(target);
    for (const Tool& tool : tools)
        runProcess(tool.command);

    Rounds ours;
    Rounds cold; // the first trace of a fresh process, from the process runs
    // Rounds take turns between the tools, so drift on a shared machine spreads over all of them alike.
    for (int round = 0; round < RoundCount; ++round) {
        ours.add(traceOnce(target), expectedRows);
        for (Tool& tool : tools) {
            const ProcessRun run = runProcess(tool.command);
            tool.wallMs.push_back(run.wallMs);
            bool good = run.ok;
            if (tool.command.first() == self) {
                const auto f = run.output.trimmed().split(u' ');
                if (f.size() == 6 && f[0] == QLatin1String("ROUND"))
                    cold.add({f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toInt(), f[5] == u'1'},
                             expectedRows);
                else
                    good = false;
            } else if (tool.command.first() != QLatin1String("/bin/true")) {
                good = good && reachedTarget(run.output, target);
            }
            if (!good) {
                ++tool.failures;
                std::fprintf(stderr, "%s, round %d failed:\n%s\n", tool.figure, round, qPrintable(run.output));
            }
        }
    }

    std::printf("trace_ours_ms: %.3f\n", median(ours.totalMs));
    std::printf("trace_ours_echo_ms: %.3f\n", median(ours.echoMs));
    std::printf("trace_ours_names_ms: %.3f\n", median(ours.nameMs));
    std::printf("trace_ours_first_in_process_ms: %.3f\n", median(cold.totalMs));
    int failures = ours.failures + cold.failures;
    for (const Tool& tool : tools) {
        std::printf("%s: %.3f\n", tool.figure, median(tool.wallMs));
        failures += tool.failures;
    }
    if (!traceroute.isEmpty()) {
        std::printf("ratio_ours_traceroute: %.3f\n", median(ours.totalMs) / median(tools[1].wallMs));
        std::printf("ratio_ours_process_traceroute: %.3f\n", median(tools[0].wallMs) / median(tools[1].wallMs));
    }
    std::printf("failed_runs: %d\n", failures);
    std::fflush(stdout);
    return failures == 0 ? 0 : 2;
}

int runBenchmark()
{
    if (!NetnsLab::haveRoot()) {
        std::fprintf(stderr, "bench_trace needs root: it builds network namespaces\n");
        return 1;
    }
    NetnsLab lab;
    LabChain chain;
    buildChain(lab, Routers, &chain);
    QString hosts = QStringLiteral("127.0.0.1 localhost\n");
    for (int i = 0; i < Routers; ++i)
        hosts += ipv4Text(chain.routerAddresses[std::size_t(i)]) + QStringLiteral(" r%1.example.de\n").arg(i + 1);
    const QString target = ipv4Text(chain.targetAddress);
    hosts += target + QStringLiteral(" www.example.nl\n");
    lab.setHosts(chain.client, hosts);
    if (!lab.ok()) {
        std::fprintf(stderr, "lab: %s\n", qPrintable(lab.error()));
        return 1;
    }
    // TTL 1 is never probed: the rows are routers 2..8 and the target.
    const QString rows = QString::number(Routers);
    const QString self = QCoreApplication::applicationFilePath();

    QProcess inside;
    inside.setProcessChannelMode(QProcess::ForwardedChannels);
    const QStringList command = NetnsLab::execArguments(chain.client, {self, QStringLiteral("--inside"), target, rows});
    inside.start(command.first(), command.mid(1));
    if (!inside.waitForFinished(30 * 60 * 1000)) {
        inside.kill();
        inside.waitForFinished();
    }

    lab.setHosts(chain.client, QStringLiteral("127.0.0.1 localhost\n"));
    const ProcessRun nameless = runProcess(NetnsLab::execArguments(
        chain.client, {self, QStringLiteral("--trace-rounds"), QString::number(RoundCount + 1), target}));
    Rounds without;
    const QStringList lines = nameless.output.trimmed().split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) { // the first round warms up, as above
        const auto f = lines[i].split(u' ');
        if (f.size() == 6)
            without.add({f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toInt(), f[5] == u'1'}, Routers);
    }
    std::printf("trace_ours_without_hosts_file_ms: %.3f\n", median(without.totalMs));
    std::printf("trace_ours_without_hosts_file_names_ms: %.3f\n", median(without.nameMs));
    std::fflush(stdout);
    const bool ok = inside.exitStatus() == QProcess::NormalExit && inside.exitCode() == 0 && nameless.ok &&
                    without.failures == 0 && without.totalMs.size() == std::size_t(RoundCount);
    return ok ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--trace-rounds"))
        return traceRounds(std::max(1, args[2].toInt()), args[3]);
    if (args.size() == 4 && args[1] == QLatin1String("--inside"))
        return measureInside(args[2], args[3].toInt());
    return runBenchmark();
}
