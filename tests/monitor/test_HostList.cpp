#include "monitor/HostList.h"

#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class HostListTest : public ProgramFolderTest {
protected:
    HostListTest() { ini.setFilePath(env.programFolder() + QStringLiteral("/hosts.ini")); }
    cINI ini;
};

} // namespace

TEST_F(HostListTest, FirstStartCreatesTheFileWithSixHosts)
{
    bool created = false;
    const QStringList hosts = HostList::load(ini, &created);
    EXPECT_TRUE(created);
    EXPECT_EQ(hosts, HostList::defaultHosts());
    EXPECT_EQ(hosts.size(), 6);
    EXPECT_EQ(ini.GetVal(QStringLiteral("HOST"), QStringLiteral("6")), hosts[5]);

    HostList::load(ini, &created);
    EXPECT_FALSE(created);
}

TEST_F(HostListTest, ListStopsAtTheFirstMissingOrEmptyKey)
{
    writeFileOrFail(ini.FilePath(), "[HOST]\r\n1=a.lab\r\n2=b.lab\r\n4=d.lab\r\n");
    EXPECT_EQ(HostList::load(ini), (QStringList{QStringLiteral("a.lab"), QStringLiteral("b.lab")}));
    writeFileOrFail(ini.FilePath(), "[HOST]\r\n2=b.lab\r\n1=a.lab\r\n3=\r\n4=d.lab\r\n");
    EXPECT_EQ(HostList::load(ini), (QStringList{QStringLiteral("a.lab"), QStringLiteral("b.lab")}));
}

TEST_F(HostListTest, SaveWritesConsecutiveKeysAndOnlyWhenTheFileExists)
{
    EXPECT_FALSE(HostList::save(ini, {QStringLiteral("a.lab")}));
    EXPECT_FALSE(QFile::exists(ini.FilePath()));

    writeFileOrFail(ini.FilePath(), "; watched hosts\r\n[HOST]\r\n1=a.lab\r\n2=b.lab\r\n3=c.lab\r\n");
    ASSERT_TRUE(HostList::save(ini, {QStringLiteral("a.lab"), QString(), QStringLiteral("c.lab")}));
    EXPECT_EQ(readFileOrFail(ini.FilePath()), QByteArray("; watched hosts\r\n[HOST]\r\n1=a.lab\r\n2=c.lab\r\n"));
}

TEST_F(HostListTest, BadFilesLoadWhatTheyCanAndNeverCrash)
{
    writeFileOrFail(ini.FilePath(), "[OTHER]\r\n1=a\r\n");
    EXPECT_TRUE(HostList::load(ini).isEmpty());

    writeFileOrFail(ini.FilePath(), QByteArray("\x7f"
                                               "ELF\x02\x01\x01\x00\x00\x00[HOST]\x00\n1=\x00zz\n\xff\xff",
                                               24));
    EXPECT_TRUE(HostList::load(ini).isEmpty());

    writeFileOrFail(ini.FilePath(), "[HOST]\r1=a.lab\r2=b.lab\r");
    EXPECT_EQ(HostList::load(ini).size(), 2);

    writeFileOrFail(ini.FilePath(), "[HOST]\r\n1=" + QByteArray(300, 'h') + "\r\n");
    const QStringList longHost = HostList::load(ini);
    ASSERT_EQ(longHost.size(), 1);
    EXPECT_EQ(longHost[0].size(), cINI::ValueBufferChars - 1);
}

TEST_F(HostListTest, TenThousandHostsLoadAndSaveQuickly)
{
    QByteArray file("[HOST]\r\n");
    QStringList expected;
    for (int i = 1; i <= 10000; ++i) {
        file += QByteArray::number(i) + "=host" + QByteArray::number(i) + ".lab\r\n";
        expected.append(QStringLiteral("host%1.lab").arg(i));
    }
    writeFileOrFail(ini.FilePath(), file);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(HostList::load(ini), expected);
    ASSERT_TRUE(HostList::save(ini, expected));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(readFileOrFail(ini.FilePath()), file);
}
