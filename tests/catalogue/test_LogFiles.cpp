#include "analysis/mAnalyze.h"
#include "platform/GeneralDate.h"
#include "shell/MessageBox.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <gtest/gtest.h>

namespace {

QDateTime at(int h, int m, int s)
{
    return QDateTime(QDate(2026, 12, 7), QTime(h, m, s));
}

QString text(const QDateTime& moment)
{
    return GeneralDate::toText(moment);
}

QByteArray hostLine(const QDateTime& moment, int ping)
{
    return (text(moment) + u'\t' + QString::number(ping)).toUtf8() + "\r\n";
}

// A locale whose general date form differs from the system's, as a log copied from another desktop has it.
QLocale foreignLocale()
{
    const QLocale german(QLocale::German, QLocale::Germany);
    if (GeneralDate::toText(at(11, 0, 0), german) != GeneralDate::toText(at(11, 0, 0)))
        return german;
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

struct Row {
    QDateTime data;
    qlonglong ping;
};

QList<Row> rowsOf(TextSql::RecordSet& records)
{
    QList<Row> rows;
    for (records.MoveFirst(); !records.EOF_(); records.MoveNext())
        rows.append(
            {records.Fields(QStringLiteral("Data")).toDateTime(), records.Fields(QStringLiteral("Ping")).toLongLong()});
    return rows;
}

QList<qlonglong> pingsOf(const QList<Row>& rows)
{
    QList<qlonglong> pings;
    for (const Row& row : rows)
        pings.append(row.ping);
    return pings;
}

class LogFilesTest : public ProgramFolderTest {
protected:
    void SetUp() override { MessageBox::setCapturing(true); }
    void TearDown() override { MessageBox::setCapturing(false); }
    QString hostLog(const QString& host) const { return env.programFolder() + u'/' + host + QStringLiteral(".log"); }
};

} // namespace

TEST_F(LogFilesTest, GarbageBinaryAndForeignDatesFallOutsideEveryPeriod)
{
    QByteArray log = hostLine(at(11, 0, 5), 5);
    log += "garbage without any tab\r\n";
    log += "\t\t\t\r\n";
    log += QByteArray("\x00\x01\xff\xfe\t\x80\x00\t\x7f", 9) + "\r\n";
    log += (GeneralDate::toText(at(11, 0, 6), foreignLocale()) + QStringLiteral("\t66")).toUtf8() + "\r\n";
    log += "2026-12-07T11:00:07\t77\r\n";
    log += hostLine(at(11, 0, 8), 8);
    log += (text(at(11, 0, 9)) + QStringLiteral("\tnot a number")).toUtf8() + "\r\n";
    log += QByteArray(5000, '\xAA') + "\r\n";
    log += hostLine(at(11, 0, 10), 10);
    const QString path = hostLog(QStringLiteral("h1"));
    writeFileOrFail(path, log);

    for (const auto& [from, to] :
         {std::pair{text(at(10, 0, 0)), text(at(12, 0, 0))}, std::pair{text(at(10, 0, 0)), QString()},
          std::pair{QString(), text(at(12, 0, 0))}}) {
        auto records = mAnalyze::OpenLogQuery(path, from, to);
        ASSERT_TRUE(records) << from.toStdString() << " .. " << to.toStdString();
        const QList<Row> rows = rowsOf(*records);
        // The row with a good date and no number keeps its date; its ping is NULL.
        EXPECT_EQ(pingsOf(rows), (QList<qlonglong>{5, 8, 0, 10})) << from.toStdString() << " .. " << to.toStdString();
        for (const Row& row : rows)
            EXPECT_TRUE(row.data.isValid());
    }
    // Without a period every line is a row; those without a date come first.
    auto all = mAnalyze::OpenLogQuery(path, QString(), QString());
    ASSERT_TRUE(all);
    EXPECT_EQ(all->RecordCount(), 10);
    EXPECT_FALSE(rowsOf(*all).constFirst().data.isValid());

    QDateTime first;
    QDateTime last;
    qint32 count = 0;
    EXPECT_TRUE(mAnalyze::GetLogSummary(path, first, last, count));
    EXPECT_EQ(count, 10);
    EXPECT_EQ(first, at(11, 0, 5));
    EXPECT_EQ(last, at(11, 0, 10));
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
}

TEST_F(LogFilesTest, LastLineStillBeingWrittenIsReadOnceItEnds)
{
    const QString path = hostLog(QStringLiteral("h1"));
    const QByteArray done = hostLine(at(11, 0, 1), 1) + hostLine(at(11, 0, 2), 2);
    const QByteArray unfinished = text(at(11, 0, 3)).left(6).toUtf8(); // cut inside its date
    writeFileOrFail(path, done + unfinished);
    auto records = mAnalyze::OpenLogQuery(path, text(at(11, 0, 0)), text(at(11, 59, 0)));
    ASSERT_TRUE(records);
    EXPECT_EQ(pingsOf(rowsOf(*records)), (QList<qlonglong>{1, 2}));

    // The monitor finishes the line: the work copy, which was the log's start, is extended with it.
    writeFileOrFail(path, done + hostLine(at(11, 0, 3), 3) + hostLine(at(11, 0, 4), 4).chopped(2));
    records = mAnalyze::OpenLogQuery(path, text(at(11, 0, 0)), text(at(11, 59, 0)));
    ASSERT_TRUE(records);
    EXPECT_EQ(pingsOf(rowsOf(*records)), (QList<qlonglong>{1, 2, 3, 4})) << "a whole line without its CR LF";
    EXPECT_EQ(readFileOrFail(mAnalyze::workFolder() + u'/' + mAnalyze::ConvertTable), readFileOrFail(path));
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
}

TEST_F(LogFilesTest, EmptyLogWithAnEmptyWorkCopyAndNoColumnDescriptionGivesNoRows)
{
    QDir().mkpath(mAnalyze::workFolder());
    writeFileOrFail(mAnalyze::workFolder() + u'/' + mAnalyze::AllTable, QByteArray());
    writeFileOrFail(mAnalyze::mainLogPath(), QByteArray());
    ASSERT_FALSE(QFileInfo::exists(mAnalyze::workFolder() + u'/' + TextSql::ColumnsFileName));
    auto records = mAnalyze::OpenLogQuery(mAnalyze::mainLogPath(), text(at(10, 0, 0)), text(at(12, 0, 0)));
    ASSERT_TRUE(records);
    EXPECT_TRUE(records->EOF_());
    EXPECT_EQ(records->RecordCount(), 0);
    records = mAnalyze::OpenLogQuery(QString(), QString(), QString());
    ASSERT_TRUE(records);
    EXPECT_EQ(records->RecordCount(), 0);
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(mAnalyze::workFolder() + u'/' + TextSql::ColumnsFileName));
}

// A copy that cannot be made ends the call quietly, as every failure of the data source does: no rows, no count,
// and the file in the work folder's place is left as it was.
TEST_F(LogFilesTest, WorkFolderThatIsAFileGivesNothingAndIsLeftAlone)
{
    const QString path = hostLog(QStringLiteral("h1"));
    writeFileOrFail(path, hostLine(at(11, 0, 1), 1));
    writeFileOrFail(mAnalyze::workFolder(), "not a folder\r\n");
    EXPECT_FALSE(mAnalyze::OpenLogQuery(path, QString(), QString()));
    QDateTime first;
    QDateTime last;
    qint32 count = 0;
    EXPECT_FALSE(mAnalyze::GetLogSummary(path, first, last, count));
    EXPECT_EQ(readFileOrFail(mAnalyze::workFolder()), QByteArray("not a folder\r\n"));
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(MessageBox::takeCaptured().isEmpty());
}
