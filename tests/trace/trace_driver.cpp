// Runs one trace with the real echo service and socket layer and prints what it saw, one item a line, fields
// separated by tabs:
//   SEND  ttl               a probe went out with this TTL
//   EVENT name text         an event of the tracer, in the order raised
//   ROW   n c1 c2 c3 c4 c5  a hop row that holds something, after the trace
//   DONE  ms                wall time of DoTrace
// Usage: trace_driver [--raw|--datagram] [--timeout MS] [--stop-after MS] [HOST]; without HOST, Hosts stays empty.
// The namespace tests start it with `ip netns exec`, which shows it the lab's hosts file as /etc/hosts.

#include "TableGrid.h"
#include "trace/Trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

#include <cstdio>

namespace {

void printLine(const QStringList& fields)
{
    std::fputs(fields.join(QLatin1Char('\t')).toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

// Passes every request on to the real service and prints its TTL first.
class ReportingEcho final : public IcmpEchoService {
public:
    explicit ReportingEcho(IcmpEchoService& inner) : m_inner(inner) {}
    std::unique_ptr<IcmpEchoHandle> open() override
    {
        std::unique_ptr<IcmpEchoHandle> handle = m_inner.open();
        return handle ? std::make_unique<Handle>(std::move(handle)) : nullptr;
    }

private:
    class Handle final : public IcmpEchoHandle {
    public:
        explicit Handle(std::unique_ptr<IcmpEchoHandle> inner) : m_inner(std::move(inner)) {}
        int sendEcho(const EchoRequest& request, EchoReply* reply) override
        {
            printLine({QStringLiteral("SEND"), QString::number(request.ttl)});
            return m_inner->sendEcho(request, reply);
        }

    private:
        std::unique_ptr<IcmpEchoHandle> m_inner;
    };
    IcmpEchoService& m_inner;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    IcmpSocketMode mode = IcmpSocketMode::Auto;
    int timeoutMs = 300;
    int stopAfterMs = 0;
    QString host;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--raw"))
            mode = IcmpSocketMode::Raw;
        else if (args[i] == QLatin1String("--datagram"))
            mode = IcmpSocketMode::Datagram;
        else if (args[i] == QLatin1String("--timeout") && i + 1 < args.size())
            timeoutMs = args[++i].toInt();
        else if (args[i] == QLatin1String("--stop-after") && i + 1 < args.size())
            stopAfterMs = args[++i].toInt();
        else
            host = args[i];
    }

    ReportingEcho echo(systemIcmpEchoService(mode));
    Trace trace(echo);
    const auto report = [](const char* name) {
        return [name](const QString& text) { printLine({QStringLiteral("EVENT"), QLatin1String(name), text}); };
    };
    QObject::connect(&trace, &Trace::LogString, report("LogString"));
    QObject::connect(&trace, &Trace::Status, report("Status"));
    QObject::connect(&trace, qOverload<const QString&>(&Trace::IP), report("IP"));
    QObject::connect(&trace, &Trace::HostName, report("HostName"));
    QObject::connect(&trace, &Trace::OnError, report("OnError"));
    QObject::connect(&trace, &Trace::busyChanged, [](bool busy) {
        printLine({QStringLiteral("EVENT"), QStringLiteral("busyChanged"), QString::number(busy)});
    });
    // The way a user cancels: a click that the tracer's yields let through while it runs.
    QTimer stop;
    stop.setSingleShot(true);
    QObject::connect(&stop, &QTimer::timeout, &trace, [&trace] { trace.StopTrace = true; });
    if (stopAfterMs > 0)
        stop.start(stopAfterMs);

    trace.setHosts(host);
    TableGrid grid;
    QElapsedTimer clock;
    clock.start();
    trace.DoTrace(grid, timeoutMs);
    const qint64 elapsedMs = clock.elapsed();

    for (int row = 1; row < HopGrid::Rows; ++row) {
        QStringList fields{QStringLiteral("ROW"), QString::number(row)};
        bool filled = false;
        for (int column = HopGrid::HostName; column < HopGrid::Columns; ++column) {
            fields << grid.text(row, column);
            filled = filled || !fields.back().isEmpty();
        }
        if (filled)
            printLine(fields);
    }
    printLine({QStringLiteral("DONE"), QString::number(elapsedMs)});
    std::fflush(stdout);
    return 0;
}
