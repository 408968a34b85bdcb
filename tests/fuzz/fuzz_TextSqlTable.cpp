// Arbitrary bytes as the log table ALL.TXT, read by the queries the analysis window runs: the period query with its
// Format columns in date order, then the row count and the date range.
#include "platform/TextSql.h"

#include "tests/fuzz/FuzzSupport.h"

#include <QDateTime>

#include <cstddef>
#include <cstdint>

namespace {

const QString PeriodQuery = QStringLiteral(
    "select Site, Data,Ping,Format(Data,'yyyy') as [Year],Format(Data,'mm') as [Month],Format(Data,'dd') as [Day],"
    "Format(Data,'h') as [Hour],Format(Data,'n') as [Minute],Format(Data,'s') as [Second] from [ALL.TXT]"
    " WHERE Data Between #1/1/2000# AND #12/31/2099 23:59# ORDER BY Data");
const QString CountQuery = QStringLiteral("SELECT Count(*) as CNT FROM [ALL.TXT]");
const QString RangeQuery = QStringLiteral("select Min(Data) as DateFrom, Max(Data) as DateTo from [ALL.TXT]");

const QDateTime PeriodFrom(QDate(2000, 1, 1), QTime(0, 0));
const QDateTime PeriodTo(QDate(2099, 12, 31), QTime(23, 59));

std::unique_ptr<TextSql::RecordSet> run(TextSql::Connection& connection, const QString& sql)
{
    QString error;
    std::unique_ptr<TextSql::RecordSet> rows = connection.Execute(sql, &error);
    if (!rows) {
        // Any bytes are a table: a line that does not fit gives NULLs, never a failed query.
        std::fprintf(stderr, "query failed: %s\n", qPrintable(error));
        std::abort();
    }
    return rows;
}

int field(const TextSql::RecordSet& rows, const char* name)
{
    bool ok = false;
    const int n = rows.Fields(QLatin1String(name)).toString().toInt(&ok);
    FUZZ_CHECK(ok);
    return n;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::startApplication();
    const QList<TextSql::TableDescription> tables = {{QStringLiteral("ALL.TXT"),
                                                      {{QStringLiteral("Data"), TextSql::ColumnType::DateTime},
                                                       {QStringLiteral("Site"), TextSql::ColumnType::Text},
                                                       {QStringLiteral("Ping"), TextSql::ColumnType::Integer}}}};
    FuzzSupport::writeFile(FuzzSupport::scratchFolder() + u'/' + TextSql::ColumnsFileName,
                           TextSql::describe(tables).toUtf8());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString& folder = FuzzSupport::scratchFolder();
    FuzzSupport::writeFile(folder + QStringLiteral("/ALL.TXT"), FuzzSupport::bytes(data, size));
    // The cache may know the file by size and time alone, and inputs follow each other within a tick.
    TextSql::dropCache();

    TextSql::Connection connection;
    FUZZ_CHECK(connection.Open(QStringLiteral("Provider=MSDASQL.1;DBQ=") + folder + u';'));

    const auto period = run(connection, PeriodQuery);
    QDateTime previous;
    for (; !period->EOF_(); period->MoveNext()) {
        const QDateTime moment = period->Fields(QStringLiteral("Data")).toDateTime();
        FUZZ_CHECK(moment.isValid() && moment >= PeriodFrom && moment <= PeriodTo);
        FUZZ_CHECK(!previous.isValid() || previous <= moment);
        previous = moment;
        FUZZ_CHECK(field(*period, "Year") == moment.date().year());
        FUZZ_CHECK(field(*period, "Month") == moment.date().month());
        FUZZ_CHECK(field(*period, "Day") == moment.date().day());
        FUZZ_CHECK(field(*period, "Hour") == moment.time().hour());
        FUZZ_CHECK(field(*period, "Minute") == moment.time().minute());
        FUZZ_CHECK(field(*period, "Second") == moment.time().second());
        period->Fields(QStringLiteral("Site"));
        period->Fields(QStringLiteral("Ping"));
    }

    const auto counted = run(connection, CountQuery);
    FUZZ_CHECK(!counted->EOF_());
    const qlonglong count = counted->Fields(QStringLiteral("CNT")).toLongLong();
    FUZZ_CHECK(period->RecordCount() <= count);

    const auto range = run(connection, RangeQuery);
    FUZZ_CHECK(!range->EOF_());
    const QVariant from = range->Fields(QStringLiteral("DateFrom"));
    const QVariant to = range->Fields(QStringLiteral("DateTo"));
    FUZZ_CHECK(from.isNull() == to.isNull());
    if (!from.isNull()) {
        FUZZ_CHECK(from.toDateTime().isValid() && to.toDateTime().isValid());
        FUZZ_CHECK(from.toDateTime() <= to.toDateTime());
    }
    // Only dated rows fall in the period, so a period with rows means a range that holds them.
    if (period->RecordCount() > 0) {
        FUZZ_CHECK(!from.isNull());
        FUZZ_CHECK(from.toDateTime() <= previous && previous <= to.toDateTime());
    }
    return 0;
}
