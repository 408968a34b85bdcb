#include "monitor/mMain.h"

#include "monitor/Settings.h"
#include "platform/GeneralDate.h"

#include <QByteArray>
#include <QFile>
#include <QUrl>

mMain::mMain(Settings& settings, QString programFolder, QString mainLogBaseName, Clock& clock)
    : m_settings(settings), m_folder(std::move(programFolder)), m_mainLogBaseName(std::move(mainLogBaseName)),
      m_clock(clock)
{}

bool mMain::oneLog() const
{
    // A "LogOne" that is not a number behaves as the default layout rather than stopping the records.
    return m_settings.integer(Keys::LogOne).value_or(1) == 1;
}

QString mMain::mainLogPath() const
{
    return m_folder + u'/' + m_mainLogBaseName + QStringLiteral(".log");
}

QString mMain::hostLogPath(const QString& host) const
{
    return m_folder + u'/' + fileNameForHost(host) + QStringLiteral(".log");
}

QString mMain::currentLogPath(const QString& host) const
{
    return oneLog() ? mainLogPath() : hostLogPath(host);
}

void mMain::LogPing(const QString& host, qint16 value, const QString& colourName)
{
    if (m_logStopped)
        return;
    const bool one = oneLog();
    const QString stamp = GeneralDate::toText(m_clock.now());
    const QString prefix = one ? stamp + u'\t' + host + u'\t' : stamp + u'\t';
    const int written = colourName.toUpper() == QStringLiteral("RED") ? -1 : value;
    WriteLogLine(prefix + QString::number(written), one ? MainLogWord : hostLogPath(host));
}

bool mMain::WriteLogLine(const QString& line, const QString& path)
{
    QFile file(path == MainLogWord ? mainLogPath() : path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = line.toUtf8() + "\r\n";
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

void mMain::LogStart()
{
    if (!m_logStarted) {
        m_logStopped = false;
        m_logStarted = true;
    }
}

void mMain::LogStop()
{
    if (!m_logStopped) {
        m_logStopped = true;
        m_logStarted = false;
    }
}

QString mMain::fileNameForHost(const QString& host)
{
    QString name;
    name.reserve(host.size());
    for (qsizetype i = 0; i < host.size(); ++i) {
        const QChar c = host[i];
        const bool unsafe = c == u'%' || c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F ||
                            (i == 0 && (c == u'-' || c == u'.'));
        if (unsafe)
            name += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            name += c;
    }
    return name;
}

QString mMain::hostForFileName(const QString& fileName)
{
    QString base = fileName;
    if (base.endsWith(QStringLiteral(".log"), Qt::CaseInsensitive))
        base.chop(4);
    return QUrl::fromPercentEncoding(base.toUtf8());
}
