#include "IdleLoad.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

struct ProcessSample {
    double cpuSeconds = 0;
    double rssMb = 0;
};

bool sample(qint64 pid, ProcessSample* out)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which may hold blanks, start after the last ')'.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 22)
        return false;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    out->cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / ticks; // utime + stime
    out->rssMb = fields[21].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
    return true;
}

int freeDisplay()
{
    for (int n = 91; n < 160; ++n) {
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return n;
    }
    return -1;
}

} // namespace

bool measureIdleLoad(const QString& tvPingPath, int seconds)
{
    const int display = freeDisplay();
    if (display < 0) {
        std::fprintf(stderr, "idle load: no free X display number\n");
        return false;
    }
    QProcess xvfb;
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral(":%1").arg(display), QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!xvfb.waitForStarted(5000)) {
        std::fprintf(stderr, "idle load: Xvfb did not start (apt-get install xvfb)\n");
        return false;
    }
    for (int i = 0; i < 100 && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display)); ++i)
        QThread::msleep(50);

    QTemporaryDir home, config;
    QDir().mkpath(config.path() + QStringLiteral("/Tavrik"));
    QFile hosts(home.path() + QStringLiteral("/hosts.ini"));
    QFile settings(config.path() + QStringLiteral("/Tavrik/Tavrik.conf"));
    if (!hosts.open(QIODevice::WriteOnly) || !settings.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "idle load: cannot prepare the program folder\n");
        return false;
    }
    hosts.write("[HOST]\r\n1=127.0.0.1\r\n");
    hosts.close();
    settings.write("[Load]\nAutoPing=1\nTimeOut=1\n");
    settings.close();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":%1").arg(display));
    env.insert(QStringLiteral("TAVRIK_HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(env);
    program.start(tvPingPath);
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "idle load: %s did not start\n", qPrintable(tvPingPath));
        xvfb.kill();
        return false;
    }
    // Past the start-up delay, so every second of the window probes.
    QThread::msleep(6000);
    ProcessSample start, end;
    const bool ok =
        sample(program.processId(), &start) && (QThread::sleep(seconds), true) && sample(program.processId(), &end);
    program.terminate();
    program.waitForFinished(5000);
    xvfb.terminate();
    xvfb.waitForFinished(5000);
    if (!ok) {
        std::fprintf(stderr, "idle load: tvPing ended early: %s\n", program.readAllStandardError().constData());
        return false;
    }
    std::printf("idle_seconds: %d\n", seconds);
    std::printf("idle_cpu_percent: %.2f\n", 100.0 * (end.cpuSeconds - start.cpuSeconds) / seconds);
    std::printf("rss_mb: %.1f\n", end.rssMb);
    std::fflush(stdout);
    return true;
}
