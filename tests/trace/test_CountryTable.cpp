#include "Printers.h"
#include "TestEnvironment.h"
#include "trace/CountryTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class CountryNameTest : public ProgramFolderTest {
protected:
    void SetUp() override { programCountryTable().clear(); }
    void TearDown() override { programCountryTable().clear(); }
    QString file() const { return env.programFolder() + QStringLiteral("/country.txt"); }
};

} // namespace

TEST_F(CountryNameTest, LooksUpTheUpperCasedCodeAndTheLastMatchWins)
{
    writeFileOrFail(file(), "NL;Netherlands\r\n"
                            "RU;Russian Federation;a further field\r\n"
                            "nl;lower-case code\r\n"
                            "a line without separator\r\n"
                            "DE;West Germany\r\n"
                            "DE;Germany\n"
                            ";no code\r\n"
                            "X;One letter\r\n"
                            "COM;Commercial\r\n");
    EXPECT_EQ(CountryName(QStringLiteral("ru")), QStringLiteral("Russian Federation"));
    EXPECT_EQ(CountryName(QStringLiteral("nl")), QStringLiteral("Netherlands"));
    EXPECT_EQ(CountryName(QStringLiteral("De")), QStringLiteral("Germany"));
    EXPECT_EQ(CountryName(QStringLiteral("x")), QStringLiteral("One letter"));
    EXPECT_EQ(CountryName(QStringLiteral("COM")), QString()) << "codes longer than two characters are not looked up";
    EXPECT_EQ(CountryName(QString()), QString());
    EXPECT_EQ(CountryName(QStringLiteral("zz")), QString());
    EXPECT_EQ(programCountryTable().size(), 8) << "only the line without ';' is skipped";
}

TEST_F(CountryNameTest, TableIsReadOnceAndOnlyWhileTheFileExists)
{
    EXPECT_EQ(CountryName(QStringLiteral("NL")), QString());
    EXPECT_TRUE(programCountryTable().isEmpty());

    writeFileOrFail(file(), "NL;Netherlands\r\n");
    EXPECT_EQ(CountryName(QStringLiteral("NL")), QStringLiteral("Netherlands"));
    writeFileOrFail(file(), "NL;Holland\r\n");
    EXPECT_EQ(CountryName(QStringLiteral("NL")), QStringLiteral("Netherlands")) << "loaded once per run";

    ASSERT_TRUE(QFile::remove(file()));
    EXPECT_EQ(CountryName(QStringLiteral("NL")), QString()) << "no file, no name, even with the table loaded";

    // A table that stays empty is read again at the next lookup.
    programCountryTable().clear();
    writeFileOrFail(file(), "no entries here\r\n");
    EXPECT_EQ(CountryName(QStringLiteral("NL")), QString());
    writeFileOrFail(file(), "NL;Holland\r\n");
    EXPECT_EQ(CountryName(QStringLiteral("NL")), QStringLiteral("Holland"));
}

TEST(CountryTable, OverlongLinesAndForeignBytesAreReadSafely)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/country.txt");
    QByteArray bytes = "\xEF\xBB\xBF"
                       "AD;Andorra\r\n";
    bytes += "XX;" + QByteArray(100000, 'n') + "\r\n";
    bytes += "NL;Netherlands\r\n";
    bytes += "CI;C\xF4te d'Ivoire\r\n"; // Latin-1
    bytes += "AX;\xC3\x85land Islands\r\n";
    bytes += "FR;France"; // no line end at the end of the file
    writeFileOrFail(path, bytes);

    CountryTable table;
    ASSERT_TRUE(table.load(path));
    EXPECT_EQ(table.size(), 6);
    EXPECT_EQ(table.lookup(QStringLiteral("AD")), QStringLiteral("Andorra")) << "the byte order mark is dropped";
    EXPECT_EQ(table.lookup(QStringLiteral("XX")), QString(CountryTable::MaxLineBytes - 3, u'n'));
    EXPECT_EQ(table.lookup(QStringLiteral("NL")), QStringLiteral("Netherlands")) << "the line after a long one";
    EXPECT_EQ(table.lookup(QStringLiteral("CI")), QStringLiteral("C\u00F4te d'Ivoire"));
    EXPECT_EQ(table.lookup(QStringLiteral("AX")), QStringLiteral("\u00C5land Islands"));
    EXPECT_EQ(table.lookup(QStringLiteral("fr")), QStringLiteral("France"));
    EXPECT_FALSE(table.load(dir.path() + QStringLiteral("/missing.txt")));
    EXPECT_EQ(table.size(), 6);
}

TEST(GeneratedCountryTable, ListsIsoCodesAndTheExtraDomainsWithCrLfEnds)
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/country.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString() << " is made by the build";
    const QString text = QString::fromUtf8(file.readAll());
    ASSERT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    const QRegularExpression entry(QStringLiteral("^([A-Z]{2});([^;\r\n]+)$"));
    QSet<QString> codes;
    for (const QString& line : text.chopped(2).split(QStringLiteral("\r\n"))) {
        const auto match = entry.match(line);
        ASSERT_TRUE(match.hasMatch()) << "not CODE;Name with CR LF: " << line.toStdString();
        EXPECT_FALSE(codes.contains(match.captured(1))) << "twice: " << line.toStdString();
        codes.insert(match.captured(1));
    }
    EXPECT_GE(codes.size(), 249 + 4);

    CountryTable table;
    ASSERT_TRUE(table.load(path));
    EXPECT_EQ(table.lookup(QStringLiteral("nl")), QStringLiteral("Netherlands"));
    EXPECT_EQ(table.lookup(QStringLiteral("DE")), QStringLiteral("Germany"));
    EXPECT_EQ(table.lookup(QStringLiteral("RU")), QStringLiteral("Russian Federation"));
    EXPECT_EQ(table.lookup(QStringLiteral("GB")), QStringLiteral("United Kingdom"));
    EXPECT_EQ(table.lookup(QStringLiteral("AX")), QStringLiteral("\u00C5land Islands"));
    EXPECT_EQ(table.lookup(QStringLiteral("SU")), QStringLiteral("USSR"));
    EXPECT_EQ(table.lookup(QStringLiteral("UK")), QStringLiteral("United Kingdom"));
    EXPECT_EQ(table.lookup(QStringLiteral("EU")), QStringLiteral("European Union"));
    EXPECT_EQ(table.lookup(QStringLiteral("AC")), QStringLiteral("Ascension Island"));
}
