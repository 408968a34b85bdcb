#include "platform/ProfileIni.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ProfileIniTest : public ProgramFolderTest {
protected:
    QString path = env.programFolder() + QStringLiteral("/test.ini");
};

} // namespace

TEST_F(ProfileIniTest, NamesCompareWithoutCaseAndTheFirstDuplicateWins)
{
    writeFileOrFail(path, "[Host]\r\nKey=first\r\nkey=second\r\n[HOST]\r\nkey=other section\r\n");
    ProfileIni ini(path);
    EXPECT_EQ(ini.value(QStringLiteral("host"), QStringLiteral("KEY")), QStringLiteral("first"));
    EXPECT_EQ(ini.value(QStringLiteral("HOST"), QStringLiteral("missing")), std::nullopt);
    EXPECT_EQ(ini.value(QStringLiteral("none"), QStringLiteral("key")), std::nullopt);
    EXPECT_EQ(ProfileIni(path + QStringLiteral(".absent")).value(QStringLiteral("Host"), QStringLiteral("Key")),
              std::nullopt);
}

TEST_F(ProfileIniTest, WritesKeepCommentsUnknownLinesLineEndsAndKeySpelling)
{
    writeFileOrFail(path, "; hosts we watch\n[HOST]\n; the router\n1 = gw.lab\nnot an entry\n\n[Other]\nx=1\n");
    ProfileIni ini(path);
    ASSERT_TRUE(ini.writeValue(QStringLiteral("host"), QStringLiteral("1"), QStringLiteral("gw2.lab")));
    ASSERT_TRUE(ini.writeValue(QStringLiteral("HOST"), QStringLiteral("2"), QStringLiteral("db.lab")));
    ASSERT_TRUE(ini.writeValue(QStringLiteral("New"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(readFileOrFail(path), QByteArray("; hosts we watch\n[HOST]\n; the router\n1=gw2.lab\nnot an entry\n"
                                               "2=db.lab\n\n[Other]\nx=1\n[New]\nk=v\n"));
}

TEST_F(ProfileIniTest, DeletingKeysAndSections)
{
    writeFileOrFail(path, "[A]\r\nk1=v1\r\nk2=v2\r\n[B]\r\nk=v\r\n");
    ProfileIni ini(path);
    ASSERT_TRUE(ini.deleteKey(QStringLiteral("a"), QStringLiteral("K1")));
    EXPECT_EQ(readFileOrFail(path), QByteArray("[A]\r\nk2=v2\r\n[B]\r\nk=v\r\n"));
    ASSERT_TRUE(ini.deleteSection(QStringLiteral("A")));
    EXPECT_EQ(readFileOrFail(path), QByteArray("[B]\r\nk=v\r\n"));
    EXPECT_TRUE(ini.deleteKey(QStringLiteral("none"), QStringLiteral("k"))); // nothing to do is no failure
}

TEST_F(ProfileIniTest, ReplaceSectionRewritesOnlyTheEntries)
{
    writeFileOrFail(path, "[HOST]\r\n; keep me\r\n1=a\r\n3=c\r\n[Z]\r\nz=1\r\n");
    ProfileIni ini(path);
    ASSERT_TRUE(ini.replaceSection(QStringLiteral("HOST"), {{QStringLiteral("1"), QStringLiteral("x")},
                                                            {QStringLiteral("2"), QStringLiteral("y")}}));
    EXPECT_EQ(readFileOrFail(path), QByteArray("[HOST]\r\n; keep me\r\n1=x\r\n2=y\r\n[Z]\r\nz=1\r\n"));
}

TEST_F(ProfileIniTest, ChangesByAnotherWriterAreSeen)
{
    writeFileOrFail(path, "[A]\nk=old\n");
    ProfileIni ini(path);
    EXPECT_EQ(ini.value(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("old"));
    QFile::remove(path);
    writeFileOrFail(path, "[A]\nk=new value\n");
    EXPECT_EQ(ini.value(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("new value"));
}

TEST_F(ProfileIniTest, ValuesThatWouldBreakTheFileAreRefused)
{
    ProfileIni ini(path);
    QString why;
    EXPECT_FALSE(ini.writeValue(QStringLiteral("HOST"), QStringLiteral("1"), QStringLiteral("a\r\n2=evil"), &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(ini.writeValue(QStringLiteral("HO]ST"), QStringLiteral("1"), QStringLiteral("a")));
    EXPECT_FALSE(ini.writeValue(QStringLiteral("HOST"), QStringLiteral("a=b"), QStringLiteral("a")));
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ProfileIniTest, WriteIsAtomicAndKeepsPermissions)
{
    writeFileOrFail(path, "[A]\nk=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);

    ProfileIni ini(path);
    ASSERT_TRUE(ini.writeValue(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2")));
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &after), 0);
    // A replaced file has a new inode: the old one was never truncated in place.
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(env.programFolder()).entryList(QDir::Files), QStringList{QStringLiteral("test.ini")});
}

TEST_F(ProfileIniTest, FailedWriteIsReportedAndLeavesTheOldFile)
{
    writeFileOrFail(path, "[A]\nk=1\n");
    ProfileIni ini(path);
    bool wrote = true;
    QString why;
    {
        ScopedReadOnly locked(env.programFolder());
        if (!locked.active())
            GTEST_SKIP() << "running as root on a file system without the immutable flag: a write cannot fail";
        wrote = ini.writeValue(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("2"), &why);
    }
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(readFileOrFail(path), QByteArray("[A]\nk=1\n"));
    EXPECT_EQ(ini.value(QStringLiteral("A"), QStringLiteral("k")), QStringLiteral("1")) << "the cache must not lie";
}

TEST_F(ProfileIniTest, BadFilesLoadWhatTheyCan)
{
    // CR-only line ends, as old editors leave them.
    writeFileOrFail(path, "[HOST]\r1=a\r2=b\r");
    ProfileIni ini(path);
    EXPECT_EQ(ini.value(QStringLiteral("HOST"), QStringLiteral("2")), QStringLiteral("b"));
    ASSERT_TRUE(ini.writeValue(QStringLiteral("HOST"), QStringLiteral("3"), QStringLiteral("c")));
    EXPECT_EQ(readFileOrFail(path), QByteArray("[HOST]\r1=a\r2=b\r3=c\r"));

    // Binary junk with NULs and invalid UTF-8 still parses, and bytes survive a rewrite.
    const QByteArray junk = QByteArray("\xff\xfe\x00\x01", 4) + "\n[HOST\n1=\xe9t\xe9\n" + QByteArray("\x00\x00=\n", 4);
    writeFileOrFail(path, junk);
    EXPECT_EQ(ini.value(QStringLiteral("HOST"), QStringLiteral("1")), QStringLiteral("\u00e9t\u00e9"));
    ASSERT_TRUE(ini.writeValue(QStringLiteral("HOST"), QStringLiteral("2"), QStringLiteral("x")));
    EXPECT_TRUE(readFileOrFail(path).startsWith(junk.left(17))) << readFileOrFail(path).toHex().toStdString();
}

TEST_F(ProfileIniTest, ALatin1FileTakesAValueOutsideLatin1AsUtf8)
{
    writeFileOrFail(path, "[HOST]\r\n1=K\xf6ln\r\n");
    ProfileIni ini(path);
    ASSERT_TRUE(ini.writeValue(QStringLiteral("HOST"), QStringLiteral("2"),
                               QStringLiteral("\u041c\u043e\u0441\u043a\u0432\u0430")));
    EXPECT_EQ(readFileOrFail(path),
              QByteArray("[HOST]\r\n1=K\xc3\xb6ln\r\n2=\xd0\x9c\xd0\xbe\xd1\x81\xd0\xba\xd0\xb2\xd0\xb0\r\n"));
    ProfileIni reread(path);
    EXPECT_EQ(reread.value(QStringLiteral("HOST"), QStringLiteral("1")), QStringLiteral("K\u00f6ln"));
    EXPECT_EQ(reread.value(QStringLiteral("HOST"), QStringLiteral("2")),
              QStringLiteral("\u041c\u043e\u0441\u043a\u0432\u0430"));
}
