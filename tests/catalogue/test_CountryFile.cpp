#include "trace/CountryTable.h"

#include "TestEnvironment.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

class CountryFileTest : public ProgramFolderTest {
protected:
    void SetUp() override { programCountryTable().clear(); }
    void TearDown() override { programCountryTable().clear(); }
    QString file() const { return env.programFolder() + QStringLiteral("/country.txt"); }
};

} // namespace

TEST_F(CountryFileTest, FilesWithoutAnyEntryGiveNoNamesQuicklyEveryTime)
{
    QByteArray noSeparators;
    for (int i = 0; i < 2000; ++i)
        noSeparators += "NL Netherlands, DE Germany | RU Russian Federation\r\n";
    // A megabyte in a single line, its first separator far beyond the bytes of the line that are read.
    const QByteArray oneLine = QByteArray(1 << 20, 'x') + ";Far away";
    for (const QByteArray& bytes : {noSeparators, QByteArray(), QByteArray("\r\n\r\n\n\r"), oneLine}) {
        writeFileOrFail(file(), bytes);
        QElapsedTimer timer;
        timer.start();
        // An empty table is read again at every lookup, so each must stay cheap.
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(CountryName(QStringLiteral("NL")), QString()) << bytes.size();
        EXPECT_TRUE(programCountryTable().isEmpty()) << bytes.size();
        EXPECT_LT(timer.elapsed(), 20000) << bytes.size();
    }
}

TEST_F(CountryFileTest, MegabyteLinesAreCutWithoutBreakingACharacterOrTheLinesAfterThem)
{
    const QString cyrillic = QStringLiteral("\u042F");                       // two bytes in UTF-8
    QByteArray bytes = "RU;" + cyrillic.repeated(1 << 19).toUtf8() + "\r\n"; // 1 MiB
    bytes += "NL;Netherlands\r\n";
    bytes += "DE;" + QByteArray(1 << 20, 'g'); // the last line, without a line end
    writeFileOrFail(file(), bytes);

    EXPECT_EQ(CountryName(QStringLiteral("nl")), QStringLiteral("Netherlands"));
    // 1024 bytes are read: the code, the separator, 510 whole letters and half of the next, which is dropped.
    EXPECT_EQ(CountryName(QStringLiteral("ru")), cyrillic.repeated((CountryTable::MaxLineBytes - 3) / 2));
    EXPECT_EQ(CountryName(QStringLiteral("de")), QString(CountryTable::MaxLineBytes - 3, u'g'));
    EXPECT_EQ(programCountryTable().size(), 3);
}
