// Times the log analysis engine on generated main logs, beside the SQLite shell importing the same file.
// Prints `name: value` lines.

#include "analysis/mAnalyze.h"
#include "platform/GeneralDate.h"
#include "platform/ProgramFolder.h"
#include "platform/TextSql.h"
#include "shell/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <random>

namespace {

const QDateTime Start(QDate(2026, 12, 1), QTime(0, 0, 0));
const QStringList Hosts = {QStringLiteral("ya.ru"), QStringLiteral("8.8.8.8"), QStringLiteral("gateway.local")};

void print(const char* name, double value, int decimals = 1)
{
    std::printf("%s: %.*f\n", name, decimals, value);
    std::fflush(stdout);
}

// Three hosts probed each second, so every day holds a midnight line in the date-only form.
bool writeLog(const QString& path, qint64 lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    std::mt19937 random(42);
    std::normal_distribution<double> rtt(35, 12);
    std::uniform_int_distribution<int> loss(0, 199);
    QByteArray buffer;
    buffer.reserve(1 << 22);
    QByteArray stamp;
    qint64 stampSecond = -1;
    for (qint64 i = 0; i < lines; ++i) {
        const qint64 second = i / Hosts.size();
        if (second != stampSecond) {
            stamp = GeneralDate::toText(Start.addSecs(second)).toUtf8();
            stampSecond = second;
        }
        const int value = loss(random) == 0 ? -1 : std::max(1, static_cast<int>(rtt(random)));
        buffer += stamp;
        buffer += '\t';
        buffer += Hosts[static_cast<int>(i % Hosts.size())].toUtf8();
        buffer += '\t';
        buffer += QByteArray::number(value);
        buffer += "\r\n";
        if (buffer.size() > (1 << 22) - 256) {
            file.write(buffer);
            buffer.clear();
        }
    }
    file.write(buffer);
    return true;
}

QDateTime middleMinute(qint64 lines)
{
    const QDateTime middle = Start.addSecs(lines / Hosts.size() / 2);
    return QDateTime(middle.date(), QTime(middle.time().hour(), middle.time().minute()));
}

double timeQuery(const QString& log, const QDateTime& minute, int* rows = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    auto records = mAnalyze::OpenLogQuery(log, GeneralDate::toText(minute), GeneralDate::toText(minute.addSecs(60)));
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (rows)
        *rows = records ? static_cast<int>(records->RecordCount()) : -1;
    return ms;
}

void coldStart()
{
    TextSql::dropCache();
    QFile::remove(mAnalyze::workFolder() + u'/' + mAnalyze::AllTable);
}

QString sqliteShell()
{
    QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        QProcess::execute(QStringLiteral("apt-get"),
                          {QStringLiteral("install"), QStringLiteral("-y"), QStringLiteral("sqlite3")});
        shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    }
    return shell;
}

// The shell imports the file into an in-memory table and answers the same minute: the cost an engine without a
// time index pays on a cold start.
double timeSqliteShell(const QString& shell, const QString& log, const QDateTime& minute)
{
    const QString from = GeneralDate::toText(minute);
    const QString to = GeneralDate::toText(minute.addSecs(60));
    const QString script = QStringLiteral(".mode tabs\nCREATE TABLE t(Data TEXT, Site TEXT, Ping INTEGER);\n"
                                          ".import '%1' t\nSELECT Site, Data, Ping FROM t WHERE Data BETWEEN '%2' "
                                          "AND '%3' ORDER BY Data;\n")
                               .arg(log, from, to);
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(shell, {QStringLiteral(":memory:")});
    process.write(script.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(-1);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("TAVRIK_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    MessageBox::setCapturing(true);
    const QString log = mAnalyze::mainLogPath();

    // 1M lines: first (cold) query, repeat, after an append, summary.
    constexpr qint64 Million = 1000000;
    if (!writeLog(log, Million))
        return 1;
    const QDateTime minute = middleMinute(Million);
    coldStart();
    int rows = 0;
    const double first1m = timeQuery(log, minute, &rows);
    print("rows_per_minute_1m", rows);
    print("first_query_1m_ms", first1m);
    print("repeat_query_1m_ms", timeQuery(log, minute));
    {
        QFile file(log);
        file.open(QIODevice::Append);
        const QDateTime last = Start.addSecs(Million / Hosts.size());
        for (int i = 0; i < 60; ++i)
            file.write((GeneralDate::toText(last.addSecs(i / 3)) + u'\t' + Hosts[i % 3] + QStringLiteral("\t30\r\n"))
                           .toUtf8());
    }
    print("append_query_1m_ms", timeQuery(log, minute));
    {
        QDateTime from;
        QDateTime to;
        qint32 count = 0;
        QElapsedTimer timer;
        timer.start();
        mAnalyze::GetLogSummary(log, from, to, count);
        print("summary_1m_ms", static_cast<double>(timer.nsecsElapsed()) / 1e6);
        print("summary_1m_count", count);
    }
    const QString shell = sqliteShell();
    if (shell.isEmpty()) {
        std::printf("sqlite3_1m_ms: missing\n");
    } else {
        writeLog(log, Million);
        const double sqlite = timeSqliteShell(shell, log, minute);
        print("sqlite3_1m_ms", sqlite);
        print("ratio_first_sqlite3", first1m / sqlite, 3);
    }

    if (!writeLog(log, 100000))
        return 1;
    coldStart();
    print("first_query_100k_ms", timeQuery(log, middleMinute(100000)));

    constexpr qint64 TenMillion = 10 * Million;
    if (!writeLog(log, TenMillion))
        return 1;
    const double fileMb = static_cast<double>(QFileInfo(log).size()) / (1024.0 * 1024.0);
    coldStart();
    const double first10m = timeQuery(log, middleMinute(TenMillion));
    print("first_query_10m_ms", first10m);
    print("ratio_first_10m_1m", first10m / first1m, 3);
    print("file_10m_mb", fileMb);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    print("peak_rss_10m_mb", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
