// A log line's date field: the data source's own date reader over arbitrary bytes, and over dates the program itself
// wrote in the general date form, which it must read back to the second.
#include "platform/GeneralDate.h"
#include "platform/TextSql.h"

#include "tests/fuzz/FuzzSupport.h"

#include <QDateTime>

#include <cstddef>
#include <cstdint>

namespace {

const QString StoredForm = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Seven bytes as a moment between 1900 and 2155, the span a log may cover.
QDateTime momentOf(const std::uint8_t* b)
{
    const QDate date(1900 + b[0], 1 + b[1] % 12, 1 + b[2] % 31);
    if (!date.isValid())
        return {};
    return QDateTime(date, QTime(b[3] % 24, b[4] % 60, b[5] % 60));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString stored = TextSql::parseGeneralDate(FuzzSupport::bytes(data, size));
    // Either no date, or a key that sorts as text and names a real moment.
    FUZZ_CHECK(stored.isEmpty() || (stored.size() == 19 && QDateTime::fromString(stored, StoredForm).isValid()));

    if (size < 7)
        return 0;
    const QDateTime moment = momentOf(data);
    if (!moment.isValid())
        return 0;
    const QByteArray written = GeneralDate::toText(moment).toUtf8();
    const QString key = TextSql::parseGeneralDate(written);
    if (key != moment.toString(StoredForm)) {
        std::fprintf(stderr, "\"%s\" read as \"%s\"\n", written.constData(), qPrintable(key));
        FUZZ_CHECK(key == moment.toString(StoredForm));
    }
    return 0;
}
