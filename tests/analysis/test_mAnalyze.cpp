#include "AnalysisTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace analysistest;

namespace {

struct Row {
    QString site;
    QDateTime data;
    qlonglong ping;
    QString second;
};

QList<Row> rowsOf(TextSql::RecordSet& records)
{
    QList<Row> rows;
    for (; !records.EOF_(); records.MoveNext())
        rows.append(
            {records.Fields(QStringLiteral("Site")).toString(), records.Fields(QStringLiteral("Data")).toDateTime(),
             records.Fields(QStringLiteral("Ping")).toLongLong(), records.Fields(QStringLiteral("Second")).toString()});
    return rows;
}

QString text(const QDateTime& moment)
{
    return GeneralDate::toText(moment);
}

} // namespace

TEST(mAnalyzeQueryText, MainLogWithBothBounds)
{
    const QString expected = QStringLiteral(
        "select Site, Data,Ping,Format(Data,'yyyy') as [Year],Format(Data,'mm') as [Month],Format(Data,'dd') as "
        "[Day],Format(Data,'h') as [Hour],Format(Data,'n') as [Minute],Format(Data,'s') as [Second] from [ALL.TXT] "
        "WHERE Data Between #12/7/2026 11:26# AND #12/7/2026 11:27# ORDER BY Data");
    EXPECT_EQ(mAnalyze::logQueryText(mAnalyze::AllTable, text(at(11, 26, 0)), text(at(11, 27, 0))), expected);
}

TEST(mAnalyzeQueryText, HostLogHasTwoBlanksAndOneSidedBounds)
{
    const QString head = QStringLiteral(
        "select  Data,Ping,Format(Data,'yyyy') as [Year],Format(Data,'mm') as [Month],Format(Data,'dd') as "
        "[Day],Format(Data,'h') as [Hour],Format(Data,'n') as [Minute],Format(Data,'s') as [Second] from "
        "[CONVERT.TXT]");
    EXPECT_EQ(mAnalyze::logQueryText(mAnalyze::ConvertTable, text(at(11, 26, 0)), text(at(11, 27, 0))),
              head + QStringLiteral(" WHERE Data Between #12/7/2026 11:26# AND #12/7/2026 11:27# ORDER BY Data"));
    EXPECT_EQ(mAnalyze::logQueryText(mAnalyze::ConvertTable, text(at(11, 26, 0)), QString()),
              head + QStringLiteral(" WHERE Data >= #12/7/2026 11:26# ORDER BY Data"));
    EXPECT_EQ(mAnalyze::logQueryText(mAnalyze::ConvertTable, QString(), text(at(0, 0, 0))),
              head + QStringLiteral(" WHERE Data <= #12/7/2026# ORDER BY Data"));
    EXPECT_EQ(mAnalyze::logQueryText(mAnalyze::ConvertTable, QString(), QString()),
              head + QStringLiteral(" ORDER BY Data"));
}

TEST(mAnalyzeSqlDateLiteral, DropsSecondsLeadingZerosAndMidnight)
{
    EXPECT_EQ(mAnalyze::SqlDateLiteral(text(at(11, 26, 45))), QStringLiteral("#12/7/2026 11:26#"));
    EXPECT_EQ(mAnalyze::SqlDateLiteral(text(at(9, 5, 0))), QStringLiteral("#12/7/2026 9:5#"));
    EXPECT_EQ(mAnalyze::SqlDateLiteral(text(at(0, 0, 0))), QStringLiteral("#12/7/2026#"));
    EXPECT_EQ(mAnalyze::SqlDateLiteral(QStringLiteral("not a date")), QString());
    EXPECT_EQ(mAnalyze::SqlDateLiteral(QString()), QString());
}

TEST(mAnalyzeTableChoice, MainLogNameIsCaseSensitive)
{
    const QString main = mAnalyze::programName() + QStringLiteral(".log");
    EXPECT_EQ(mAnalyze::tableFor(QStringLiteral("/x/") + main), mAnalyze::AllTable);
    EXPECT_EQ(mAnalyze::tableFor(QStringLiteral("/x/") + main.toUpper()), mAnalyze::ConvertTable);
    EXPECT_EQ(mAnalyze::tableFor(QStringLiteral("/x/host1.log")), mAnalyze::ConvertTable);
}

using mAnalyzeFiles = AnalysisTest;

TEST_F(mAnalyzeFiles, LogListHasMainLogOnceAndOneEntryPerHostFile)
{
    QComboBox list;
    list.addItem(QStringLiteral("stale"));
    mAnalyze::FillLogList(&list, {QStringLiteral("HOSTA.log"), QStringLiteral("hosta.LOG"),
                                  mAnalyze::programName() + QStringLiteral(".log")});
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.itemText(0), QStringLiteral("Main Log"));
    EXPECT_EQ(list.itemText(1), QStringLiteral("HOSTA"));
    EXPECT_EQ(list.itemText(2), QStringLiteral("HOSTA"));
    EXPECT_EQ(list.currentIndex(), 0);
}

TEST_F(mAnalyzeFiles, EntriesFindTheirFileWithoutRegardToCase)
{
    writeFileOrFail(hostLog(QStringLiteral("hosta")), hostLine(at(11, 0, 0), 5));
    EXPECT_EQ(mAnalyze::logPathForEntry(1, QStringLiteral("HOSTA")), hostLog(QStringLiteral("hosta")));
    EXPECT_EQ(mAnalyze::logPathForEntry(0, QStringLiteral("Main Log")), mAnalyze::mainLogPath());
    EXPECT_EQ(mAnalyze::logPathForEntry(1, QStringLiteral("GONE")), hostLog(QStringLiteral("GONE")));
}

TEST_F(mAnalyzeFiles, PeriodIsInclusiveAtBothEndsAndOrderedByData)
{
    QByteArray log;
    log += mainLine(at(11, 27, 0), QStringLiteral("b"), 20); // logged out of order on purpose
    log += mainLine(at(11, 25, 59), QStringLiteral("a"), 1);
    log += mainLine(at(11, 26, 0), QStringLiteral("a"), 10);
    log += mainLine(at(11, 26, 30), QStringLiteral("a"), -1);
    log += mainLine(at(11, 27, 1), QStringLiteral("a"), 2);
    writeFileOrFail(mAnalyze::mainLogPath(), log);
    auto records = mAnalyze::OpenLogQuery(mAnalyze::mainLogPath(), text(at(11, 26, 0)), text(at(11, 27, 0)));
    ASSERT_TRUE(records);
    EXPECT_EQ(records->fieldNames(),
              (QStringList{"Site", "Data", "Ping", "Year", "Month", "Day", "Hour", "Minute", "Second"}));
    const QList<Row> rows = rowsOf(*records);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].data, at(11, 26, 0));
    EXPECT_EQ(rows[1].ping, -1);
    EXPECT_EQ(rows[1].second, QStringLiteral("30"));
    EXPECT_EQ(rows[2].site, QStringLiteral("b"));
    EXPECT_EQ(rows[2].data, at(11, 27, 0));
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(mAnalyze::workFolder() + QStringLiteral("/ALL.TXT")));
}

TEST_F(mAnalyzeFiles, LastMinuteOfTheDayReachesMidnightOfTheNext)
{
    QByteArray log = hostLine(at(23, 59, 59), 7) + hostLine(at(0, 0, 0, 8), 8) + hostLine(at(0, 0, 1, 8), 9);
    writeFileOrFail(hostLog(QStringLiteral("h1")), log);
    auto records = mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), text(at(23, 59, 0)), text(at(0, 0, 0, 8)));
    ASSERT_TRUE(records);
    EXPECT_FALSE(records->fieldNames().contains(QStringLiteral("Site")));
    const QList<Row> rows = rowsOf(*records);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].data, at(0, 0, 0, 8));
    EXPECT_EQ(rows[1].second, QStringLiteral("0"));
}

TEST_F(mAnalyzeFiles, ABoundThatIsNoDateReturnsNothingSilently)
{
    writeFileOrFail(hostLog(QStringLiteral("h1")), hostLine(at(11, 0, 0), 7));
    EXPECT_FALSE(mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), QStringLiteral("soon"), text(at(12, 0, 0))));
    EXPECT_FALSE(mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), QStringLiteral("soon"), QString()));
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
}

TEST_F(mAnalyzeFiles, MissingFilesAndMissingDataAreRefused)
{
    const QString gone = hostLog(QStringLiteral("gone"));
    EXPECT_FALSE(mAnalyze::OpenLogQuery(gone, QString(), QString()));
    auto shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].icon, MessageBox::Icon::Exclamation);
    EXPECT_EQ(shown[0].text, gone + QStringLiteral("\r\nFile not found!"));

    EXPECT_FALSE(mAnalyze::OpenLogQuery(QString(), QString(), QString()));
    shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("No data for analyzes!"));
    EXPECT_TRUE(QFileInfo(mAnalyze::workFolder()).isDir());
}

TEST_F(mAnalyzeFiles, EmptyNameReadsTheCopyAnEarlierCallLeft)
{
    writeFileOrFail(hostLog(QStringLiteral("h1")), hostLine(at(11, 0, 5), 7) + hostLine(at(11, 0, 6), 8));
    ASSERT_TRUE(mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), QString(), QString()));
    ASSERT_TRUE(QFile::remove(hostLog(QStringLiteral("h1"))));
    auto records = mAnalyze::OpenLogQuery(QString(), QString(), QString());
    ASSERT_TRUE(records);
    EXPECT_EQ(rowsOf(*records).size(), 2);
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
}

TEST_F(mAnalyzeFiles, EmptyNamePrefersTheMainLog)
{
    writeFileOrFail(mAnalyze::mainLogPath(), mainLine(at(11, 0, 5), QStringLiteral("m"), 3));
    auto records = mAnalyze::OpenLogQuery(QString(), QString(), QString());
    ASSERT_TRUE(records);
    const QList<Row> rows = rowsOf(*records);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].site, QStringLiteral("m"));
}

TEST_F(mAnalyzeFiles, ColumnDescriptionIsRestoredWhenMissingOrChanged)
{
    writeFileOrFail(hostLog(QStringLiteral("h1")), hostLine(at(11, 0, 5), 7));
    ASSERT_TRUE(mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), QString(), QString()));
    const QString description = mAnalyze::workFolder() + u'/' + TextSql::ColumnsFileName;
    const QByteArray original = readFileOrFail(description);
    writeFileOrFail(description, "[CONVERT.TXT]\r\nCol1=Ping Text\r\n");
    ASSERT_TRUE(mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), QString(), QString()));
    EXPECT_EQ(readFileOrFail(description), original);
    ASSERT_TRUE(QFile::remove(description));
    EXPECT_TRUE(mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), QString(), QString()));
}

TEST_F(mAnalyzeFiles, AGrowingLogIsSeenByEveryCall)
{
    const QString log = mAnalyze::mainLogPath();
    writeFileOrFail(log,
                    mainLine(at(11, 0, 1), QStringLiteral("a"), 1) + mainLine(at(11, 0, 2), QStringLiteral("a"), 2));
    ASSERT_TRUE(mAnalyze::OpenLogQuery(log, QString(), QString()));
    appendOrFail(log, mainLine(at(11, 0, 3), QStringLiteral("a"), 3));
    auto records = mAnalyze::OpenLogQuery(log, QString(), QString());
    ASSERT_TRUE(records);
    EXPECT_EQ(rowsOf(*records).size(), 3);
    // Cleared and started again: the work copy must not keep the old rows.
    writeFileOrFail(log, mainLine(at(12, 0, 1), QStringLiteral("z"), 9));
    records = mAnalyze::OpenLogQuery(log, QString(), QString());
    ASSERT_TRUE(records);
    const QList<Row> rows = rowsOf(*records);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].site, QStringLiteral("z"));
    EXPECT_EQ(readFileOrFail(mAnalyze::workFolder() + QStringLiteral("/ALL.TXT")), readFileOrFail(log));
}

TEST_F(mAnalyzeFiles, AZeroByteWorkCopyIsRefilled)
{
    QDir().mkpath(mAnalyze::workFolder());
    writeFileOrFail(mAnalyze::workFolder() + QStringLiteral("/CONVERT.TXT"), QByteArray());
    writeFileOrFail(hostLog(QStringLiteral("h1")), hostLine(at(11, 0, 5), 7));
    auto records = mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), QString(), QString());
    ASSERT_TRUE(records);
    EXPECT_EQ(rowsOf(*records).size(), 1);
}

TEST_F(mAnalyzeFiles, SummaryCountsEveryRowAndGivesTheRange)
{
    QByteArray log =
        hostLine(at(11, 0, 5), -1) + hostLine(at(10, 0, 0), -1) + "garbage\r\n" + hostLine(at(12, 0, 0), -1);
    writeFileOrFail(hostLog(QStringLiteral("h1")), log);
    QDateTime from;
    QDateTime to;
    qint32 count = -5;
    EXPECT_TRUE(mAnalyze::GetLogSummary(hostLog(QStringLiteral("h1")), from, to, count));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(from, at(10, 0, 0));
    EXPECT_EQ(to, at(12, 0, 0));
    auto records = mAnalyze::OpenLogQuery(hostLog(QStringLiteral("h1")), QString(), QString());
    ASSERT_TRUE(records);
    const QList<Row> rows = rowsOf(*records);
    ASSERT_EQ(rows.size(), 4);
    for (const Row& row : rows)
        EXPECT_TRUE(!row.data.isValid() || row.ping == -1) << row.ping;
    EXPECT_FALSE(rows[0].data.isValid()); // the garbage line sorts first with its null date
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
}

TEST_F(mAnalyzeFiles, SummaryOfAnEmptyLogLeavesTheOutputsAlone)
{
    writeFileOrFail(hostLog(QStringLiteral("h1")), QByteArray());
    const QDateTime before = at(1, 2, 3);
    QDateTime from = before;
    QDateTime to = before;
    qint32 count = -5;
    EXPECT_FALSE(mAnalyze::GetLogSummary(hostLog(QStringLiteral("h1")), from, to, count));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(from, before);
    EXPECT_EQ(to, before);
}

TEST_F(mAnalyzeFiles, SummaryRefusesAnEmptyNameAndAMissingFile)
{
    QDateTime from;
    QDateTime to;
    qint32 count = 0;
    EXPECT_FALSE(mAnalyze::GetLogSummary(QString(), from, to, count));
    EXPECT_FALSE(mAnalyze::GetLogSummary(hostLog(QStringLiteral("gone")), from, to, count));
    const auto shown = MessageBox::takeCaptured();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].text, QStringLiteral("No data for analyzes!"));
    EXPECT_EQ(shown[1].text, hostLog(QStringLiteral("gone")) + QStringLiteral("\r\nFile not found!"));
    EXPECT_EQ(shown[1].icon, MessageBox::Icon::Exclamation);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
