#pragma once

#include "analysis/mAnalyze.h"
#include "platform/GeneralDate.h"
#include "shell/MessageBox.h"

#include "TestEnvironment.h"

#include <QDateTime>
#include <QFile>

namespace analysistest {

inline QDateTime at(int h, int m, int s, int day = 7)
{
    return QDateTime(QDate(2026, 12, day), QTime(h, m, s));
}

// A main-log line as the monitor writes it.
inline QByteArray mainLine(const QDateTime& moment, const QString& host, int ping)
{
    return (GeneralDate::toText(moment) + u'\t' + host + u'\t' + QString::number(ping)).toUtf8() + "\r\n";
}

inline QByteArray hostLine(const QDateTime& moment, int ping)
{
    return (GeneralDate::toText(moment) + u'\t' + QString::number(ping)).toUtf8() + "\r\n";
}

inline void appendOrFail(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A fresh program folder with message boxes captured.
class AnalysisTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        MessageBox::setCapturing(true);
        MessageBox::takeCaptured();
    }
    void TearDown() override
    {
        MessageBox::takeCaptured();
        MessageBox::setCapturing(false);
    }
    QString folderFile(const QString& name) const { return env.programFolder() + u'/' + name; }
    QString hostLog(const QString& host) const { return folderFile(host + QStringLiteral(".log")); }
};

} // namespace analysistest
