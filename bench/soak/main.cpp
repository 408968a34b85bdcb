// A long run of the real tvPing as a person would leave it: under an X server with a window manager and a tray host,
// probing a host in a network namespace every second with logging on and alert rules that send a text message to a
// gateway of ours about every twenty seconds, while the host ignores the probes for a few seconds now and then. It
// watches tvPing's memory and descriptors, checks that every probe the host saw was logged, and then runs a loop of
// whois lookups in this process against a local server and watches the same two figures here.
//
//   bench_soak [MINUTES]   (default 10; fractions allowed for a quick try)

#include "ProcessSample.h"
#include "SmsSink.h"
#include "WhoisLoop.h"
#include "tests/support/NetnsLab.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/prctl.h>

namespace {

constexpr int WarmUpSeconds = 30;
// The target ignores echo requests for DropSeconds out of every DropEverySeconds, so time-outs (-1) are logged too.
constexpr int DropEverySeconds = 30, DropSeconds = 5, DropAtSecond = 20;
constexpr int WhoisLookups = 200;
constexpr int ToolTimeoutMs = 15000;

volatile std::sig_atomic_t g_interrupted = 0;

void onSignal(int)
{
    g_interrupted = 1;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Every child dies with the benchmark, so an interrupted or crashed run leaves no X server or tvPing behind.
void dieWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

// Runs a short tool to its end; its standard output, or nothing when it failed.
std::optional<QByteArray> runTool(const QString& program, const QStringList& arguments,
                                  const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess tool;
    tool.setProcessEnvironment(environment);
    dieWithParent(tool);
    tool.start(program, arguments);
    if (!tool.waitForFinished(ToolTimeoutMs)) {
        stopProcess(tool);
        return std::nullopt;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput();
}

// Xvfb on a display number it picks itself (so runs side by side never collide), openbox and trayer on it.
class XSession {
public:
    ~XSession()
    {
        stopProcess(m_tray);
        stopProcess(m_windowManager);
        stopProcess(m_server);
    }

    bool start(QString* error)
    {
        dieWithParent(m_server);
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1024x600x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp")});
        QElapsedTimer waited;
        waited.start();
        while (!m_server.canReadLine() && waited.elapsed() < 10000 && m_server.state() != QProcess::NotRunning)
            m_server.waitForReadyRead(200);
        const QByteArray number = m_server.readLine().trimmed();
        if (number.isEmpty()) {
            *error =
                QStringLiteral("Xvfb did not start: %1").arg(QString::fromLocal8Bit(m_server.readAllStandardError()));
            return false;
        }
        m_display = QStringLiteral(":") + QString::fromLatin1(number);
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DISPLAY"), m_display);
        m_environment.remove(QStringLiteral("WAYLAND_DISPLAY"));

        for (QProcess* p : {&m_windowManager, &m_tray}) {
            p->setProcessEnvironment(m_environment);
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->setStandardOutputFile(QProcess::nullDevice());
            dieWithParent(*p);
        }
        m_windowManager.start(QStringLiteral("openbox"), {});
        waitMs(1000);
        m_tray.start(QStringLiteral("trayer"),
                     {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                      QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                      QStringLiteral("--width"), QStringLiteral("160"), QStringLiteral("--height"),
                      QStringLiteral("26")});
        waitMs(1000);
        if (m_windowManager.state() != QProcess::Running || m_tray.state() != QProcess::Running) {
            *error = QStringLiteral("openbox or trayer did not start on %1").arg(m_display);
            return false;
        }
        return true;
    }

    const QProcessEnvironment& environment() const { return m_environment; }

    // Closes the window as a person does, with the window manager's Alt+F4, so tvPing runs its whole shutdown.
    bool closeWindow(const QString& namePattern) const
    {
        const auto found =
            runTool(QStringLiteral("xdotool"),
                    {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), namePattern},
                    m_environment);
        const QByteArray window = found ? found->split('\n').value(0).trimmed() : QByteArray();
        if (window.isEmpty())
            return false;
        return runTool(QStringLiteral("xdotool"),
                       {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::fromLatin1(window),
                        QStringLiteral("key"), QStringLiteral("--clearmodifiers"), QStringLiteral("alt+F4")},
                       m_environment)
            .has_value();
    }

private:
    QProcess m_server, m_windowManager, m_tray;
    QString m_display;
    QProcessEnvironment m_environment;
};

// Echo requests that reached the target's kernel, whether it answered them or not: the "InType8" counter of the
// namespace's ICMP statistics. Only tvPing sends to the target, so this is the number of probes made.
std::optional<qint64> echoRequestsSeen(const QString& ns)
{
    const QStringList command = NetnsLab::execArguments(ns, {QStringLiteral("cat"), QStringLiteral("/proc/net/snmp")});
    const auto text = runTool(command.first(), command.mid(1));
    if (!text)
        return std::nullopt;
    QList<QByteArray> names, values;
    for (const QByteArray& line : text->split('\n')) {
        if (!line.startsWith("IcmpMsg:"))
            continue;
        (names.isEmpty() ? names : values) = line.simplified().split(' ');
    }
    const qsizetype at = names.indexOf("InType8");
    return at < 0 ? 0 : values.value(at).toLongLong(); // no column before the first request arrived
}

struct LogState {
    qint64 lines = 0;
    qint64 timeouts = 0;
    QByteArray lastValue;
};

// The main log: TAB-separated, CR LF line ends, the value last.
LogState readLog(const QString& path)
{
    LogState state;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return state;
    const QByteArray all = file.readAll();
    for (const QByteArray& line : all.split('\n')) {
        if (!line.endsWith('\r'))
            continue; // the part after the last line end, or a line cut short
        ++state.lines;
        state.lastValue = line.mid(line.lastIndexOf('\t') + 1).chopped(1);
        state.timeouts += state.lastValue == "-1" ? 1 : 0;
    }
    return state;
}

int sanitizerReports(const QString& stderrPath)
{
    QFile file(stderrPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QString text = QString::fromLocal8Bit(file.readAll());
    static const QRegularExpression report(
        QStringLiteral("ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:|Segmentation fault|Aborted"));
    int count = 0;
    for (auto it = report.globalMatch(text); it.hasNext(); it.next())
        ++count;
    return count;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray settingsFor(quint16 gatewayPort)
{
    // Rule "less than 1000 ms" is the first one on, so every reply fires it; the twenty-second quiet interval after
    // each message and "Appear value!" (OnceTime 5, never blocking) give about one message every 20 s.
    return QByteArrayLiteral("[Load]\n"
                             "AutoPing=1\n"
                             "TimeOut=1\n"
                             "AutoLog=1\n"
                             "LogOne=1\n"
                             "AutoHide=0\n"
                             "\n"
                             "[SMS]\n"
                             "SendSMS=1\n"
                             "IfGreater=0\n"
                             "IfLess=1\n"
                             "Less=1000\n"
                             "IfTimeout=0\n"
                             "OnceTime=5\n"
                             "MobileNumber=5550100\n"
                             "CountryCode=1\n"
                             "Carrier=Lab\n"
                             "ICQUIN=123456\n"
                             "ICQPass=soak\n"
                             "GatewayURL=http://127.0.0.1:") +
           QByteArray::number(gatewayPort) + QByteArrayLiteral("/sms\n");
}

int runSoak(double minutes)
{
    if (!NetnsLab::haveRoot()) {
        std::fprintf(stderr, "bench_soak needs root: it builds network namespaces\n");
        return 1;
    }
    for (const char* tool : {"Xvfb", "openbox", "trayer", "xdotool", "ip"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::fprintf(stderr, "bench_soak needs %s (apt-get install xvfb openbox trayer xdotool iproute2)\n", tool);
            return 1;
        }
    }
    const QString tvPingPath = QCoreApplication::applicationDirPath() + QStringLiteral("/tvPing");

    // Declared first, so everything that runs inside the namespaces is gone before they are removed.
    NetnsLab lab;
    LabChain chain;
    if (!buildChain(lab, 0, &chain)) {
        std::fprintf(stderr, "lab: %s\n", qPrintable(lab.error()));
        return 1;
    }
    const QString target = ipv4Text(chain.targetAddress);

    // tvPing runs in the client namespace, so the gateway listens on that namespace's loopback.
    auto sink = std::make_unique<SmsSink>();
    {
        ScopedNetns inside(chain.client);
        if (!inside.ok() || !sink->listen()) {
            std::fprintf(stderr, "gateway: cannot listen in %s: %s\n", qPrintable(chain.client),
                         qPrintable(inside.error()));
            return 1;
        }
    }

    XSession x;
    QString error;
    if (!x.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    QTemporaryDir work;
    const QString home = work.path() + QStringLiteral("/home");
    const QString config = work.path() + QStringLiteral("/config");
    const QString stderrPath = work.path() + QStringLiteral("/tvPing.stderr");
    if (!work.isValid() ||
        !writeFile(home + QStringLiteral("/hosts.ini"), "[HOST]\r\n1=" + target.toLatin1() + "\r\n") ||
        !writeFile(config + QStringLiteral("/Tavrik/Tavrik.conf"), settingsFor(sink->port()))) {
        std::fprintf(stderr, "cannot prepare the program and settings folders\n");
        return 1;
    }
    const QString logPath = home + QStringLiteral("/tvPing.log");

    QProcessEnvironment environment = x.environment();
    environment.insert(QStringLiteral("TAVRIK_HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Qt wants a private runtime folder; the temporary folder is one (mode 0700).
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), work.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(stderrPath);
    dieWithParent(program);
    const QStringList command = NetnsLab::execArguments(chain.client, {tvPingPath});
    program.start(command.first(), command.mid(1));
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "%s did not start\n", qPrintable(tvPingPath));
        return 1;
    }
    // `ip netns exec` replaces itself with the program, so the pid is tvPing's once the exec is done.
    const pid_t pid = pid_t(program.processId());
    QElapsedTimer clock;
    clock.start();
    while (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() !=
               QFileInfo(tvPingPath).canonicalFilePath() &&
           clock.elapsed() < 5000)
        waitMs(20);

    const qint64 soakMs = qint64(minutes * 60000.0);
    ProcessSample start, end;
    int crashes = 0;
    bool dropping = false;
    const auto setDropping = [&](bool on) {
        if (on == dropping)
            return;
        dropping = on;
        lab.sysctl(chain.target, QStringLiteral("net.ipv4.icmp_echo_ignore_all"),
                   on ? QStringLiteral("1") : QStringLiteral("0"));
    };
    while (clock.elapsed() < soakMs && !g_interrupted) {
        waitMs(200);
        if (program.state() == QProcess::NotRunning) {
            ++crashes; // gone before the end
            break;
        }
        const qint64 second = clock.elapsed() / 1000;
        const qint64 phase = second % DropEverySeconds;
        setDropping(phase >= DropAtSecond && phase < DropAtSecond + DropSeconds);
        if (!start.valid && second >= WarmUpSeconds)
            start = ProcessSample::of(pid);
    }
    setDropping(false);

    // The figures are taken right after a reply was logged: the next probe is about a second away then, so no
    // request can be on its way unlogged while the two counts are read.
    LogState log;
    std::optional<qint64> requests;
    if (program.state() == QProcess::Running) {
        const qint64 before = readLog(logPath).lines;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            waitMs(10);
            log = readLog(logPath);
            if (log.lines > before && log.lastValue != "-1")
                break;
        }
        requests = echoRequestsSeen(chain.target);
        end = ProcessSample::of(pid);
        log = readLog(logPath);
    }
    const double probingSeconds = double(clock.elapsed()) / 1000.0;

    bool closed = false;
    if (program.state() == QProcess::Running) {
        closed = x.closeWindow(QStringLiteral("^Tavrik")) && program.waitForFinished(15000);
        if (!closed)
            stopProcess(program);
        else if (program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
            ++crashes;
    }
    crashes += sanitizerReports(stderrPath);
    const int smsSent = sink->requests();
    const int smsOpen = sink->openConnections();
    sink.reset();

    if (!lab.ok())
        std::fprintf(stderr, "lab: %s\n", qPrintable(lab.error()));
    if (g_interrupted)
        std::fprintf(stderr, "interrupted: the figures cover only part of the run\n");
    QFile errors(stderrPath);
    if (errors.open(QIODevice::ReadOnly)) {
        const QByteArray text = errors.readAll();
        if (!text.trimmed().isEmpty())
            std::fprintf(stderr, "tvPing's error output:\n%s\n", text.left(4000).constData());
    }

    std::printf("soak_minutes: %.2f\n", minutes);
    std::printf("probing_seconds: %.1f\n", probingSeconds);
    std::printf("rss_start_mb: %.2f\n", start.rssMb);
    std::printf("rss_end_mb: %.2f\n", end.rssMb);
    std::printf("rss_growth_mb: %.2f\n", end.rssMb - start.rssMb);
    std::printf("fd_start: %d\n", start.fds);
    std::printf("fd_end: %d\n", end.fds);
    std::printf("log_lines: %lld\n", static_cast<long long>(log.lines));
    std::printf("expected_lines: %lld\n", static_cast<long long>(requests.value_or(-1)));
    std::printf("log_timeouts: %lld\n", static_cast<long long>(log.timeouts));
    std::printf("sms_sent: %d\n", smsSent);
    std::printf("sms_connections_left_open: %d\n", smsOpen);
    std::printf("clean_exit: %d\n", closed ? 1 : 0);
    std::printf("crashes: %d\n", crashes);
    std::fflush(stdout);

    const bool whois = !g_interrupted && measureWhoisLoop(WhoisLookups);
    const bool met = start.valid && end.valid && end.rssMb - start.rssMb <= 2.0 && end.fds <= start.fds && requests &&
                     log.lines == *requests && crashes == 0 && closed;
    return !whois ? 1 : (met ? 0 : 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    double minutes = 10;
    if (argc > 1) {
        bool ok = false;
        minutes = QString::fromLocal8Bit(argv[1]).toDouble(&ok);
        if (!ok || minutes <= 0) {
            std::fprintf(stderr, "usage: bench_soak [MINUTES]\n");
            return 2;
        }
    }
    // An interrupted run still ends through runSoak, which stops tvPing and removes the namespaces.
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    return runSoak(minutes);
}
