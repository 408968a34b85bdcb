#include "monitor/mMain.h"

#include "monitor/Settings.h"
#include "platform/GeneralDate.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QUrl>

#include <algorithm>

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
    QString name = fileNameForHost(host);
    // A host spelled like the program would write its records into the main log, whose lines have another form.
    if (name == m_mainLogBaseName)
        name = QStringLiteral("%%1").arg(name[0].unicode(), 2, 16, QLatin1Char('0')).toUpper() + name.mid(1);
    return m_folder + u'/' + name + QStringLiteral(".log");
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
    // Linux file names hold at most 255 bytes; the log name needs room for ".log" after the host.
    constexpr qsizetype MaxNameBytes = 255 - 4;
    constexpr qsizetype HashChars = 16;
    QString name;
    name.reserve(host.size());
    qsizetype bytes = 0;
    qsizetype fitsWithHash = -1; // the name's length while it still leaves room for "~" and the hash
    for (qsizetype i = 0; i < host.size(); ++i) {
        const QChar c = host[i];
        const bool unsafe = c == u'%' || c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F ||
                            (i == 0 && (c == u'-' || c == u'.'));
        QString piece;
        if (unsafe)
            piece = QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else if (c.isHighSurrogate() && i + 1 < host.size() && host[i + 1].isLowSurrogate())
            piece = host.mid(i++, 2); // a pair is never split by the cut below
        else
            piece = c;
        if (bytes + piece.toUtf8().size() <= MaxNameBytes - 1 - HashChars)
            fitsWithHash = name.size() + piece.size();
        bytes += piece.toUtf8().size();
        name += piece;
    }
    if (bytes <= MaxNameBytes)
        return name;
    // Too long for the file system, where every record would be lost: a prefix and a hash of the whole host keep
    // each such host in a log of its own.
    const QByteArray hash = QCryptographicHash::hash(host.toUtf8(), QCryptographicHash::Sha1).toHex().left(HashChars);
    return name.left(std::max<qsizetype>(fitsWithHash, 0)) + u'~' + QString::fromLatin1(hash);
}

QString mMain::hostForFileName(const QString& fileName)
{
    QString base = fileName;
    if (base.endsWith(QStringLiteral(".log"), Qt::CaseInsensitive))
        base.chop(4);
    return QUrl::fromPercentEncoding(base.toUtf8());
}
