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
