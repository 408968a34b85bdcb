#include "monitor/cINI.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

class cINITest : public ProgramFolderTest {
protected:
    cINITest() { ini.setFilePath(env.programFolder() + QStringLiteral("/hosts.ini")); }
    cINI ini;
};

} // namespace

TEST_F(cINITest, DeleteValueKeepsTheKeyDeleteKeyRemovesItsLine)
{
    ASSERT_TRUE(ini.CreateSection(QStringLiteral("HOST"), QStringLiteral("1"), QStringLiteral("a.lab")));
    ASSERT_TRUE(ini.CreateSection(QStringLiteral("HOST"), QStringLiteral("2"), QStringLiteral("b.lab")));
    EXPECT_EQ(ini.GetVal(QStringLiteral("HOST"), QStringLiteral("missing")), QString());

    ASSERT_TRUE(ini.DeleteValue(QStringLiteral("HOST"), QStringLiteral("1")));
    EXPECT_EQ(readFileOrFail(ini.FilePath()), QByteArray("[HOST]\r\n1=\r\n2=b.lab\r\n"));
    ASSERT_TRUE(ini.DeleteKey(QStringLiteral("HOST"), QStringLiteral("1")));
    EXPECT_EQ(readFileOrFail(ini.FilePath()), QByteArray("[HOST]\r\n2=b.lab\r\n"));
    ASSERT_TRUE(ini.DeleteSection(QStringLiteral("host")));
    EXPECT_EQ(ini.GetSection(QStringLiteral("HOST")), QString());
}

TEST_F(cINITest, ValuesAreCutAsTheirBuffersCutThem)
{
    writeFileOrFail(ini.FilePath(),
                    "[S]\r\nlong=" + QByteArray(300, 'x') + "\r\nnul=ab" + QByteArray(1, '\0') + "cd\r\n");
    EXPECT_EQ(ini.GetVal(QStringLiteral("S"), QStringLiteral("long")).size(), cINI::ValueBufferChars - 1);
    EXPECT_EQ(ini.GetVal(QStringLiteral("S"), QStringLiteral("nul")), QStringLiteral("ab"));
}

TEST_F(cINITest, GetSectionListsEntriesEachEndedByNul)
{
    writeFileOrFail(ini.FilePath(), "[S]\r\n; note\r\na=1\r\nb=2\r\n");
    EXPECT_EQ(ini.GetSection(QStringLiteral("s")), QStringLiteral("a=1") + QChar(0) + QStringLiteral("b=2") + QChar(0));

    QByteArray big("[Big]\r\n");
    for (int i = 0; i < 400; ++i)
        big += "key" + QByteArray::number(i) + "=value\r\n";
    writeFileOrFail(ini.FilePath(), big);
    const QString section = ini.GetSection(QStringLiteral("Big"));
    EXPECT_EQ(section.size(), cINI::SectionBufferChars - 1);
    EXPECT_EQ(section.back(), QChar(0));
}
