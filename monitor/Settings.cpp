#include "monitor/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Settings::Settings()
    : m_store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tavrik"), QStringLiteral("Tavrik"))
{}

QString Settings::pathOf(const SettingKey& key) const
{
    return QLatin1String(key.section) + u'/' + QLatin1String(key.key);
}

bool Settings::contains(const SettingKey& key) const
{
    return m_store.contains(pathOf(key));
}

QString Settings::text(const SettingKey& key) const
{
    const QVariant stored = m_store.value(pathOf(key));
    if (stored.isValid())
        return stored.toString();
    if (!key.defaultValue)
        return defaultBackValues(text(Keys::PingValues));
    return QString::fromLatin1(key.defaultValue);
}

QString Settings::textForOptions(const SettingKey& key) const
{
    if (!contains(key) && key.optionsDefault)
        return QString::fromLatin1(key.optionsDefault);
    return text(key);
}

std::optional<int> Settings::toInteger(const QString& text)
{
    bool ok = false;
    const QString trimmed = text.trimmed();
    const int whole = trimmed.toInt(&ok);
    if (ok)
        return whole;
    const double real = trimmed.toDouble(&ok);
    if (ok && std::isfinite(real) && std::abs(real) < 2147483647.0)
        return static_cast<int>(std::lround(real));
    return std::nullopt;
}

std::optional<int> Settings::integer(const SettingKey& key, QString* error) const
{
    const QString value = text(key);
    const std::optional<int> number = toInteger(value);
    if (!number && error) {
        *error = QStringLiteral("Type mismatch: setting \"%1\\%2\" holds \"%3\", not a number")
                     .arg(QLatin1String(key.section), QLatin1String(key.key), value.left(40));
    }
    return number;
}

void Settings::setText(const SettingKey& key, const QString& value)
{
    restrictFile();
    m_store.setValue(pathOf(key), value);
    m_store.sync();
    restrictFile();
}

void Settings::remove(const SettingKey& key)
{
    m_store.remove(pathOf(key));
    m_store.sync();
}

void Settings::restrictFile()
{
    // Create the file owner-only before the first write, and re-apply after each sync in case it was replaced.
    const QString file = m_store.fileName();
    const QByteArray path = QFile::encodeName(file);
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (::access(path.constData(), F_OK) != 0) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd >= 0)
            ::close(fd);
    }
    ::chmod(path.constData(), S_IRUSR | S_IWUSR);
}

QString Settings::defaultBackValues(const QString& pingValues)
{
    const QString last = pingValues.split(u';').constLast();
    const std::optional<int> top = toInteger(last);
    if (!top)
        return QStringLiteral("1500;3000");
    return QString::number(*top / 2) + u';' + QString::number(*top);
}
