#include "CatalogueSupport.h"

#include "monitor/HostList.h"
#include "monitor/mMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

#include <gtest/gtest.h>

using catalogue::PingWindowTest;

namespace {

// Bytes of every value but the line breaks and the characters that give INI lines a meaning, in CR LF lines.
QByteArray junkLines(int lines)
{
    QByteArray junk;
    quint32 seed = 12345;
    for (int line = 0; line < lines; ++line) {
        for (int i = 0; i < 61; ++i) {
            seed = seed * 1103515245u + 12345u;
            char c = char((seed >> 16) & 0xFF);
            if (c == '\r' || c == '\n' || c == '[' || c == '=' || c == ';')
                c = 'x';
            junk += c;
        }
        junk += "\r\n";
    }
    return junk;
}

QStringList logFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
}

class HostsIniTest : public PingWindowTest {
protected:
    // Probes every host of the selector once with per-host logs on.
    void logEveryHost(f_Ping& window)
    {
        Settings().setInteger(Keys::LogOne, 0);
        auto* cmb = window.findChild<QComboBox*>(QStringLiteral("cmb"));
        ASSERT_NE(cmb, nullptr);
        window.findChild<QCheckBox*>(QStringLiteral("chkLog"))->setChecked(true);
        window.cycle().start(QStringLiteral("1"));
        for (int i = 0; i < cmb->count(); ++i) {
            cmb->setCurrentIndex(i);
            window.cycle().tick();
        }
    }
};

} // namespace

TEST_F(HostsIniTest, JunkFileGivesAnEmptyListAndSurvivesTheSaveOnClose)
{
    const QByteArray junk = junkLines(40);
    writeFileOrFail(hostsFile(), junk);
    auto window = open();
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("cmb"))->count(), 0);
    EXPECT_TRUE(shownTexts().isEmpty());
    window->close();
    // The list is written as a section of its own; none of the bytes that were there before is lost.
    EXPECT_EQ(readFileOrFail(hostsFile()), junk + "[HOST]\r\n");
}

TEST_F(HostsIniTest, TenThousandHostsLoadIntoTheWindowAndAreSavedBackIntact)
{
    QByteArray file("; watched hosts\r\n[HOST]\r\n");
    for (int i = 1; i <= 10000; ++i)
        file += QByteArray::number(i) + "=host" + QByteArray::number(i) + ".lab\r\n";
    file += "[Other]\r\nkeep=me\r\n";
    writeFileOrFail(hostsFile(), file);

    QElapsedTimer timer;
    timer.start();
    auto window = open();
    auto* cmb = window->findChild<QComboBox*>(QStringLiteral("cmb"));
    ASSERT_EQ(cmb->count(), 10000);
    EXPECT_EQ(cmb->itemText(9999), QStringLiteral("host10000.lab"));
    window->close();
    EXPECT_LT(timer.elapsed(), 20000) << "start-up and close with 10,000 hosts";
    EXPECT_EQ(readFileOrFail(hostsFile()), file);
}

TEST_F(HostsIniTest, OverlongHostsStillGetALogOfTheirOwn)
{
    // One host cut by the value buffer on loading, two typed ones beyond it, and one of two-byte characters.
    const QString cutOnLoad(300, u'h');
    writeFileOrFail(hostsFile(), "[HOST]\r\n1=" + cutOnLoad.toLatin1() + "\r\n");
    auto window = open();
    auto* cmb = window->findChild<QComboBox*>(QStringLiteral("cmb"));
    ASSERT_EQ(cmb->count(), 1);
    EXPECT_EQ(cmb->itemText(0), cutOnLoad.left(cINI::ValueBufferChars - 1));
    cmb->addItem(QString(300, u'a'));
    cmb->addItem(QString(299, u'a') + u'b'); // differs from the one before only past any prefix that could fit
    cmb->addItem(QString(200, QChar(0x00FC)));
    logEveryHost(*window);

    const QStringList files = logFiles(env.programFolder());
    ASSERT_EQ(files.size(), 4) << files.join(u' ').toStdString();
    for (const QString& file : files) {
        EXPECT_LE(QFile::encodeName(file).size(), 255);
        const QByteArray log = readFileOrFail(env.programFolder() + u'/' + file);
        EXPECT_EQ(log.count("\r\n"), 1) << file.toStdString();
        EXPECT_TRUE(log.endsWith("\t-1\r\n")) << log.toStdString();
    }
    for (int i = 0; i < cmb->count(); ++i)
        EXPECT_TRUE(QFileInfo::exists(window->log().hostLogPath(cmb->itemText(i)))) << i;
}

TEST_F(HostsIniTest, HostsThatLookLikePathsOrTheMainLogStayInTheProgramFolder)
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const QStringList hosts{QStringLiteral("../../escape"), QStringLiteral("/tmp/abs"), QStringLiteral("a/../b"),
                            QStringLiteral(".."), program};
    QByteArray file("[HOST]\r\n");
    for (int i = 0; i < hosts.size(); ++i)
        file += QByteArray::number(i + 1) + '=' + hosts[i].toUtf8() + "\r\n";
    // The program folder sits in a folder of the test's own, so a file written above it would be found there.
    const QString above = QFileInfo(env.programFolder()).absolutePath();
    const QStringList before = logFiles(above);
    const bool absoluteBefore = QFileInfo::exists(QStringLiteral("/tmp/abs.log"));
    writeFileOrFail(hostsFile(), file);
    auto window = open();
    logEveryHost(*window);

    const QStringList files = logFiles(env.programFolder());
    ASSERT_EQ(files.size(), hosts.size()) << files.join(u' ').toStdString();
    QStringList readBack;
    for (const QString& name : files)
        readBack.append(mMain::hostForFileName(name));
    for (const QString& host : hosts)
        EXPECT_TRUE(readBack.contains(host)) << host.toStdString();
    EXPECT_FALSE(QFileInfo::exists(window->log().mainLogPath()))
        << "a host spelled like the program must not write into the main log";
    EXPECT_EQ(QDir(env.programFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(logFiles(above), before);
    EXPECT_EQ(QFileInfo::exists(QStringLiteral("/tmp/abs.log")), absoluteBefore);
}
