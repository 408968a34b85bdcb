#include "monitor/Settings.h"
#include "monitor/mMain.h"
#include "platform/GeneralDate.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class LogTest : public ProgramFolderTest {
protected:
    LogTest() : clock(QDateTime(QDate(2026, 12, 7), QTime(11, 26, 16))) {}

    QString stamp() const { return GeneralDate::toText(clock.now()); }
    QStringList filesInFolder() const { return QDir(env.programFolder()).entryList(QDir::Files, QDir::Name); }

    Settings settings;
    ManualClock clock;
    mMain log{settings, env.programFolder(), QStringLiteral("tvPing"), clock};
};

} // namespace

TEST_F(LogTest, MainLogLinesCarryDateHostAndValue)
{
    log.LogPing(QStringLiteral("host1"), 35, QStringLiteral("SALAT"));
    log.LogPing(QStringLiteral("host1"), 0, QStringLiteral("red"));
    EXPECT_EQ(filesInFolder(), QStringList{QStringLiteral("tvPing.log")});
    const QByteArray expected =
        (stamp() + QStringLiteral("\thost1\t35\r\n") + stamp() + QStringLiteral("\thost1\t-1\r\n")).toUtf8();
    EXPECT_EQ(readFileOrFail(log.mainLogPath()), expected);
}

TEST_F(LogTest, PerHostLayoutWritesDateAndValueToTheHostsFile)
{
    settings.setInteger(Keys::LogOne, 0);
    log.LogPing(QStringLiteral("host1"), 35, QStringLiteral("SALAT"));
    log.LogPing(QStringLiteral("host1"), 0, QStringLiteral("RED"));
    EXPECT_EQ(readFileOrFail(env.programFolder() + QStringLiteral("/host1.log")),
              (stamp() + QStringLiteral("\t35\r\n") + stamp() + QStringLiteral("\t-1\r\n")).toUtf8());
    EXPECT_EQ(log.currentLogPath(QStringLiteral("host1")), env.programFolder() + QStringLiteral("/host1.log"));
}

TEST_F(LogTest, MidnightIsWrittenAsTheDateAlone)
{
    clock.setNow(QDateTime(QDate(2026, 12, 8), QTime(0, 0)));
    log.LogPing(QStringLiteral("h"), 5, QStringLiteral("SALAT"));
    const QString line = QString::fromUtf8(readFileOrFail(log.mainLogPath()));
    EXPECT_EQ(line, GeneralDate::toText(clock.now()) + QStringLiteral("\th\t5\r\n"));
    EXPECT_FALSE(line.section(u'\t', 0, 0).contains(u':'));
}

TEST_F(LogTest, StopAndStartFollowTheTwoFlags)
{
    log.LogPing(QStringLiteral("h"), 1, QStringLiteral("SALAT")); // on from the start
    log.LogStop();
    log.LogPing(QStringLiteral("h"), 2, QStringLiteral("SALAT"));
    log.LogStart();
    log.LogPing(QStringLiteral("h"), 3, QStringLiteral("SALAT"));
    const QStringList lines = QString::fromUtf8(readFileOrFail(log.mainLogPath())).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("\t1")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\t3")));
    EXPECT_TRUE(log.LogStarted());
    EXPECT_FALSE(log.LogStopped());
}

TEST_F(LogTest, HostTextsNeverNameAFileOutsideTheProgramFolder)
{
    settings.setInteger(Keys::LogOne, 0);
    const QString hosts[] = {QStringLiteral("../../escape"), QStringLiteral("a/b"),
                             QStringLiteral("a\\b"),         QStringLiteral(".."),
                             QStringLiteral("-rf"),          QStringLiteral("nul") + QChar(0) + u'x',
                             QStringLiteral("100%")};
    for (const QString& host : hosts)
        log.LogPing(host, 7, QStringLiteral("SALAT"));

    const QStringList files = filesInFolder();
    EXPECT_EQ(files.size(), std::size(hosts));
    for (const QString& file : files) {
        EXPECT_FALSE(file.startsWith(u'.')) << file.toStdString();
        EXPECT_FALSE(file.startsWith(u'-')) << file.toStdString();
    }
    QStringList readBack;
    for (const QString& file : files)
        readBack.append(mMain::hostForFileName(file));
    for (const QString& host : hosts)
        EXPECT_TRUE(readBack.contains(host)) << host.toStdString();
    EXPECT_FALSE(QFile::exists(env.programFolder() + QStringLiteral("/../escape.log")));
    EXPECT_EQ(mMain::fileNameForHost(QStringLiteral("www.debian.org")), QStringLiteral("www.debian.org"));
}

TEST_F(LogTest, UnwritableLogLosesTheRecordSilently)
{
    log.LogPing(QStringLiteral("h"), 1, QStringLiteral("SALAT"));
    const QByteArray before = readFileOrFail(log.mainLogPath());
    {
        ScopedReadOnly locked(log.mainLogPath());
        if (!locked.active())
            GTEST_SKIP() << "running as root on a file system without the immutable flag";
        EXPECT_FALSE(log.WriteLogLine(QStringLiteral("x"), mMain::MainLogWord));
        log.LogPing(QStringLiteral("h"), 2, QStringLiteral("SALAT"));
    }
    EXPECT_EQ(readFileOrFail(log.mainLogPath()), before);
    log.LogPing(QStringLiteral("h"), 3, QStringLiteral("SALAT"));
    EXPECT_TRUE(readFileOrFail(log.mainLogPath()).endsWith("\th\t3\r\n"));
}
