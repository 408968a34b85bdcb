#include "platform/GeneralDate.h"
#include "platform/TextSql.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TextSql;

namespace {

const QList<TableDescription> Tables = {
    {QStringLiteral("ALL.TXT"),
     {{QStringLiteral("Data"), ColumnType::DateTime},
      {QStringLiteral("Site"), ColumnType::Text},
      {QStringLiteral("Ping"), ColumnType::Integer}}},
    {QStringLiteral("CONVERT.TXT"),
     {{QStringLiteral("Data"), ColumnType::DateTime}, {QStringLiteral("Ping"), ColumnType::Integer}}}};

QByteArray dateText(int h, int m, int s, int day = 7)
{
    return GeneralDate::toText(QDateTime(QDate(2026, 12, day), QTime(h, m, s))).toUtf8();
}

class TextSqlFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        write(ColumnsFileName, describe(Tables).toUtf8());
    }
    void write(const QString& name, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(mode));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    std::unique_ptr<RecordSet> query(const QString& sql, QString* error = nullptr)
    {
        Connection connection;
        EXPECT_TRUE(connection.Open(QStringLiteral("Provider=MSDASQL.1;DBQ=") + dir.path() + u';'));
        return connection.Execute(sql, error);
    }
    QTemporaryDir dir;
};

} // namespace

TEST(TextSqlDescription, RoundTripsBothTables)
{
    QList<TableDescription> read;
    ASSERT_TRUE(parseDescription(describe(Tables), &read));
    ASSERT_EQ(read.size(), 2);
    EXPECT_EQ(read[0].fileName, QStringLiteral("ALL.TXT"));
    ASSERT_EQ(read[0].columns.size(), 3);
    EXPECT_EQ(read[0].columns[1].name, QStringLiteral("Site"));
    EXPECT_EQ(read[0].columns[0].type, ColumnType::DateTime);
    EXPECT_EQ(read[1].columns[1].type, ColumnType::Integer);
}

TEST(TextSqlDescription, RejectsHeaderRowsOtherFormatsAndEmptyText)
{
    QList<TableDescription> read;
    EXPECT_FALSE(parseDescription(QString(), &read));
    EXPECT_FALSE(parseDescription(QStringLiteral("[A.TXT]\nFormat=CSVDelimited\nCol1=Data DateTime\n"), &read));
    EXPECT_FALSE(parseDescription(QStringLiteral("[A.TXT]\nColNameHeader=True\nCol1=Data DateTime\n"), &read));
    EXPECT_FALSE(parseDescription(QStringLiteral("[A.TXT]\nCol2=Data DateTime\n"), &read));
}

TEST(TextSqlDialect, DateLiteralsBecomeStoredKeysOutsideQuotesOnly)
{
    EXPECT_EQ(translate(QStringLiteral("x Between #12/7/2026 11:26# AND #12/7/2026#")),
              QStringLiteral("x Between '2026-12-07 11:26:00' AND '2026-12-07 00:00:00'"));
    EXPECT_EQ(translate(QStringLiteral("'#1/2/2026#' [#1/2/2026#]")), QStringLiteral("'#1/2/2026#' [#1/2/2026#]"));
    // No such day: the literal stays and the engine rejects the query.
    EXPECT_EQ(translate(QStringLiteral("#2/30/2026#")), QStringLiteral("#2/30/2026#"));
}

TEST(TextSqlDialect, ParsesTheGeneralDateFormAndTheMidnightForm)
{
    EXPECT_EQ(parseGeneralDate(dateText(11, 26, 45)), QStringLiteral("2026-12-07 11:26:45"));
    EXPECT_EQ(parseGeneralDate(dateText(0, 0, 0)), QStringLiteral("2026-12-07 00:00:00"));
    EXPECT_EQ(parseGeneralDate("2026-12-07T11:26:45"), QString());
    EXPECT_EQ(parseGeneralDate("\x01\xff garbage"), QString());
    EXPECT_EQ(parseGeneralDate(""), QString());
}

TEST_F(TextSqlFolder, FormatGivesTheDateCodes)
{
    write(QStringLiteral("CONVERT.TXT"), dateText(9, 5, 7) + "\t12\r\n");
    const auto rows = query(QStringLiteral(
        "select Format(Data,'yyyy') as Y, Format(Data,'mm') as M, Format(Data,'dd') as D, Format(Data,'h') as H,"
        "Format(Data,'n') as N, Format(Data,'s') as S, Format(Data,'hh:mm:ss') as T, Format(Data,'yy-m-d') as Z,"
        "Format(Data,'q') as Q from [CONVERT.TXT]"));
    ASSERT_TRUE(rows);
    ASSERT_FALSE(rows->EOF_());
    EXPECT_EQ(rows->Fields(QStringLiteral("Y")).toString(), QStringLiteral("2026"));
    EXPECT_EQ(rows->Fields(QStringLiteral("M")).toString(), QStringLiteral("12"));
    EXPECT_EQ(rows->Fields(QStringLiteral("D")).toString(), QStringLiteral("07"));
    EXPECT_EQ(rows->Fields(QStringLiteral("H")).toString(), QStringLiteral("9"));
    EXPECT_EQ(rows->Fields(QStringLiteral("N")).toString(), QStringLiteral("5"));
    EXPECT_EQ(rows->Fields(QStringLiteral("S")).toString(), QStringLiteral("7"));
    EXPECT_EQ(rows->Fields(QStringLiteral("T")).toString(), QStringLiteral("09:05:07"));
    EXPECT_EQ(rows->Fields(QStringLiteral("Z")).toString(), QStringLiteral("26-12-7"));
    EXPECT_EQ(rows->Fields(QStringLiteral("Q")).toString(), QStringLiteral("4"));
}

TEST_F(TextSqlFolder, BadLinesGiveNullsAndNeverStopTheRead)
{
    QByteArray bytes = dateText(11, 0, 1) + "\thost1\t35\r\n";
    bytes += QByteArray("\x00\x01\xfe\xff\tjunk", 10) + "\r\n";
    bytes += "2026-12-07T11:00:02\thost2\t40\r\n"; // another locale's form
    bytes += "\r\n";
    bytes += dateText(11, 0, 3) + "\thost3\tabc\r\n";
    bytes += dateText(11, 0, 4) + "\thost4\t4"; // still being written
    write(QStringLiteral("ALL.TXT"), bytes);
    const auto rows = query(QStringLiteral("select Data, Site, Ping from [ALL.TXT] ORDER BY Data"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->RecordCount(), 5);
    int nullDates = 0;
    QStringList hosts;
    for (; !rows->EOF_(); rows->MoveNext()) {
        if (rows->Fields(QStringLiteral("Data")).isNull())
            ++nullDates;
        else
            hosts << rows->Fields(QStringLiteral("Site")).toString();
    }
    EXPECT_EQ(nullDates, 2);
    EXPECT_EQ(hosts, (QStringList{QStringLiteral("host1"), QStringLiteral("host3"), QStringLiteral("host4")}));
    const auto bad = query(QStringLiteral("select Ping from [ALL.TXT] WHERE Site = 'host3'"));
    ASSERT_TRUE(bad);
    ASSERT_FALSE(bad->EOF_());
    EXPECT_TRUE(bad->Fields(QStringLiteral("Ping")).isNull());
}

TEST_F(TextSqlFolder, GrowthIsReadIncludingALineThatWasPartial)
{
    write(QStringLiteral("ALL.TXT"), dateText(11, 0, 1) + "\th\t35\r\n" + dateText(11, 0, 2) + "\th\t4");
    auto rows = query(QStringLiteral("select Ping from [ALL.TXT] ORDER BY Data"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->RecordCount(), 2);
    write(QStringLiteral("ALL.TXT"), "7\r\n" + dateText(11, 0, 3) + "\th\t-1\r\n", QIODevice::Append);
    rows = query(QStringLiteral("select Ping from [ALL.TXT] ORDER BY Data"));
    ASSERT_TRUE(rows);
    QList<qlonglong> pings;
    for (; !rows->EOF_(); rows->MoveNext())
        pings << rows->Fields(QStringLiteral("Ping")).toLongLong();
    EXPECT_EQ(pings, (QList<qlonglong>{35, 47, -1}));
}

TEST_F(TextSqlFolder, AReplacedFileIsReadAfresh)
{
    write(QStringLiteral("CONVERT.TXT"), dateText(11, 0, 1) + "\t35\r\n" + dateText(11, 0, 2) + "\t36\r\n");
    ASSERT_TRUE(query(QStringLiteral("select Ping from [CONVERT.TXT]")));
    write(QStringLiteral("CONVERT.TXT"), dateText(12, 0, 1) + "\t99\r\n");
    const auto rows = query(QStringLiteral("select Count(*) as CNT, Max(Ping) as P from [CONVERT.TXT]"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->Fields(QStringLiteral("CNT")).toInt(), 1);
    EXPECT_EQ(rows->Fields(QStringLiteral("P")).toInt(), 99);
}

TEST_F(TextSqlFolder, MinAndMaxOfDataComeBackAsDates)
{
    write(QStringLiteral("CONVERT.TXT"), dateText(11, 0, 9) + "\t35\r\n" + dateText(10, 0, 0, 8) + "\t36\r\n");
    const auto rows = query(QStringLiteral("select Min(Data) as F, Max(Data) as T from [CONVERT.TXT]"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->Fields(QStringLiteral("F")).toDateTime(), QDateTime(QDate(2026, 12, 7), QTime(11, 0, 9)));
    EXPECT_EQ(rows->Fields(QStringLiteral("t")).toDateTime(), QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)));
    EXPECT_FALSE(rows->Fields(QStringLiteral("nope")).isValid());
}

TEST_F(TextSqlFolder, EmptyFilesHaveNoRowsAndNullAggregates)
{
    write(QStringLiteral("CONVERT.TXT"), QByteArray());
    const auto rows = query(QStringLiteral("select Count(*) as CNT, Min(Data) as F from [CONVERT.TXT]"));
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->Fields(QStringLiteral("CNT")).toInt(), 0);
    EXPECT_TRUE(rows->Fields(QStringLiteral("F")).isNull());
}

TEST_F(TextSqlFolder, FailuresAreReportedNotCrashed)
{
    QString error;
    EXPECT_FALSE(query(QStringLiteral("select * from [ALL.TXT]"), &error)); // no table file yet
    EXPECT_FALSE(error.isEmpty());
    write(QStringLiteral("ALL.TXT"), dateText(11, 0, 1) + "\th\t35\r\n");
    EXPECT_FALSE(query(QStringLiteral("select Data from [ALL.TXT] WHERE Data Between  AND #12/7/2026#")));
    EXPECT_FALSE(query(QStringLiteral("delete from [ALL.TXT]")));
    ASSERT_TRUE(QFile::remove(dir.filePath(ColumnsFileName)));
    error.clear();
    EXPECT_FALSE(query(QStringLiteral("select Data from [ALL.TXT]"), &error));
    EXPECT_TRUE(error.contains(ColumnsFileName));
    Connection connection;
    EXPECT_FALSE(connection.Open(QStringLiteral("DBQ=/nonexistent/folder;")));
    EXPECT_FALSE(connection.Execute(QStringLiteral("select 1")));
}

namespace {

// Moments as a test writes them, with the rows a period must return worked out by hand from the list.
struct Probe {
    QDateTime at; // invalid for a line whose date does not parse
    int ping;
};

QByteArray logLines(const QList<Probe>& probes)
{
    QByteArray bytes;
    for (const Probe& probe : probes)
        bytes += (probe.at.isValid() ? GeneralDate::toText(probe.at).toUtf8() : QByteArray("not a date")) + "\th\t" +
                 QByteArray::number(probe.ping) + "\r\n";
    return bytes;
}

QList<int> pings(const std::unique_ptr<RecordSet>& rows)
{
    QList<int> out;
    for (; rows && !rows->EOF_(); rows->MoveNext())
        out << rows->Fields(QStringLiteral("Ping")).toInt();
    return out;
}

QDateTime at(int h, int m, int s)
{
    return QDateTime(QDate(2026, 12, 7), QTime(h, m, s));
}

} // namespace

// A clock set back, a line that is no date and repeated moments: the rows of a period are still all there,
// in order of time, whatever the order of the file.
TEST_F(TextSqlFolder, PeriodsHoldInAnyFileOrder)
{
    const QList<Probe> probes = {{at(11, 0, 5), 1}, {at(11, 0, 9), 2},  {{}, 3}, {at(11, 0, 1), 4}, {at(11, 0, 5), 5},
                                 {at(11, 1, 0), 6}, {at(10, 59, 59), 7}};
    write(QStringLiteral("ALL.TXT"), logLines(probes));
    const QString select = QStringLiteral("select Ping from [ALL.TXT] WHERE ");
    EXPECT_EQ(pings(query(select + "Data Between #12/7/2026 11:0# AND #12/7/2026 11:1# ORDER BY Data")),
              (QList<int>{4, 1, 5, 2, 6}));
    EXPECT_EQ(pings(query(select + "Data > '2026-12-07 11:00:05' ORDER BY Data")), (QList<int>{2, 6}));
    EXPECT_EQ(pings(query(select + "Data < '2026-12-07 11:00:05' ORDER BY Data")), (QList<int>{7, 4}));
    EXPECT_EQ(pings(query(select + "Data = '2026-12-07 11:00:05' ORDER BY Data")), (QList<int>{1, 5}));
    EXPECT_EQ(pings(query(select + "Data >= '2026-12-07 11:00:09' ORDER BY Data DESC")), (QList<int>{6, 2}));
    // A bound that reads as a number compares as one: every moment is text, and text sorts above numbers.
    EXPECT_EQ(pings(query(select + "Data >= '5' ORDER BY Data")).size(), 6);
    EXPECT_TRUE(pings(query(select + "Data <= 20261207 ORDER BY Data")).isEmpty());
    EXPECT_EQ(pings(query(select + "Data Is Null")), (QList<int>{3}));
    // No period: the line without a date comes first, as an ascending sort puts nulls.
    EXPECT_EQ(pings(query(QStringLiteral("select Ping from [ALL.TXT] ORDER BY Data"))),
              (QList<int>{3, 7, 4, 1, 5, 2, 6}));
}

// Count, Min and Max over a whole table are answered without a scan; they must say what SQLite says when it does
// scan (the added condition makes it).
TEST_F(TextSqlFolder, WholeTableAggregatesAgreeWithAScan)
{
    QByteArray bytes = logLines({{at(11, 0, 5), 1}, {{}, 30}, {at(9, 0, 0), -1}, {at(12, 0, 0), 7}});
    bytes += dateText(13, 0, 0) + "\r\n"; // no host, no ping
    bytes += dateText(8, 0, 0) + "\t\tx\r\n";
    write(QStringLiteral("ALL.TXT"), bytes);
    for (const char* items :
         {"Count(*) as A, Count(Data) as B, Count(Site) as C, Count(Ping) as D", "Min(Data) as A, Max(Data) as B",
          "Min(Ping) as A, Max(Ping) as B, min(site) as C, MAX([Site]) as D", "Count(*)"}) {
        const QString sql = QStringLiteral("select %1 from [ALL.TXT]").arg(QLatin1String(items));
        const auto fast = query(sql);
        const auto scanned = query(sql + " WHERE 1 = 1");
        ASSERT_TRUE(fast && scanned) << items;
        ASSERT_EQ(fast->fieldNames(), scanned->fieldNames()) << items;
        for (const QString& name : fast->fieldNames())
            EXPECT_EQ(fast->Fields(name), scanned->Fields(name)) << items << " " << name.toStdString();
    }
    const auto range = query(QStringLiteral("select Min(Data) as F, Max(Data) as T, Count(*) as N from [ALL.TXT]"));
    ASSERT_TRUE(range);
    EXPECT_EQ(range->Fields(QStringLiteral("F")).toDateTime(), at(8, 0, 0));
    EXPECT_EQ(range->Fields(QStringLiteral("T")).toDateTime(), at(13, 0, 0));
    EXPECT_EQ(range->Fields(QStringLiteral("N")).toInt(), 6);
    QString error;
    EXPECT_FALSE(query(QStringLiteral("select Max(Nope) from [ALL.TXT]"), &error));
    EXPECT_FALSE(error.isEmpty());
}

// Lines appended out of time order, and a line without a date, after a first look at an ordered file.
TEST_F(TextSqlFolder, GrowthOutOfOrderKeepsPeriodsRight)
{
    write(QStringLiteral("CONVERT.TXT"), dateText(11, 0, 1) + "\t1\r\n" + dateText(11, 0, 3) + "\t3\r\n");
    const QString period =
        QStringLiteral("select Ping from [CONVERT.TXT] WHERE Data Between #12/7/2026 11:0# AND #12/7/2026 11:1# "
                       "ORDER BY Data");
    EXPECT_EQ(pings(query(period)), (QList<int>{1, 3}));
    write(QStringLiteral("CONVERT.TXT"), dateText(11, 0, 2) + "\t2\r\n", QIODevice::Append);
    EXPECT_EQ(pings(query(period)), (QList<int>{1, 2, 3}));
    write(QStringLiteral("CONVERT.TXT"), "junk\t9\r\n" + dateText(11, 0, 4) + "\t4\r\n", QIODevice::Append);
    EXPECT_EQ(pings(query(period)), (QList<int>{1, 2, 3, 4}));
    const auto first = query(QStringLiteral("select Min(Data) as F, Count(*) as N from [CONVERT.TXT]"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Fields(QStringLiteral("F")).toDateTime(), at(11, 0, 1));
    EXPECT_EQ(first->Fields(QStringLiteral("N")).toInt(), 5);
}

// A file large enough to be read in two halves at once: no line is lost or read twice at the seam.
TEST_F(TextSqlFolder, ALargeFileReadsEveryLineOnce)
{
    constexpr int Lines = 300000;
    QByteArray bytes;
    bytes.reserve(Lines * 40);
    const QDateTime start(QDate(2026, 12, 7), QTime(0, 0));
    qint64 sum = 0;
    QByteArray stamp;
    for (int i = 0; i < Lines; ++i) {
        if (i % 3 == 0)
            stamp = GeneralDate::toText(start.addSecs(i / 3)).toUtf8();
        bytes += stamp + "\thost" + QByteArray::number(i % 7) + '\t' + QByteArray::number(i % 1000) + "\r\n";
        sum += i % 1000;
    }
    ASSERT_GT(bytes.size(), 8 << 20);
    write(QStringLiteral("ALL.TXT"), bytes);
    const auto totals =
        query(QStringLiteral("select Count(*) as N, Sum(Ping) as S, Count(Distinct Site) as H from [ALL.TXT]"));
    ASSERT_TRUE(totals);
    EXPECT_EQ(totals->Fields(QStringLiteral("N")).toInt(), Lines);
    EXPECT_EQ(totals->Fields(QStringLiteral("S")).toLongLong(), sum);
    EXPECT_EQ(totals->Fields(QStringLiteral("H")).toInt(), 7);
    const auto minute = query(QStringLiteral("select Ping from [ALL.TXT] WHERE Data Between #12/7/2026 13:53# AND "
                                             "#12/7/2026 13:54# ORDER BY Data"));
    ASSERT_TRUE(minute);
    EXPECT_EQ(minute->RecordCount(), 61 * 3);
}
