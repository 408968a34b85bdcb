#include "TestEnvironment.h"

#include <QFile>
#include <QSettings>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

ScopedProgramEnvironment::ScopedProgramEnvironment()
    : m_oldHome(qgetenv("TAVRIK_HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("TAVRIK_HOME", m_home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    // QSettings computes its folder once per process; point it at this test's folder explicitly.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
}

ScopedProgramEnvironment::~ScopedProgramEnvironment()
{
    const auto restore = [](const char* name, const QByteArray& old) {
        if (old.isNull())
            qunsetenv(name);
        else
            qputenv(name, old);
    };
    restore("TAVRIK_HOME", m_oldHome);
    restore("XDG_CONFIG_HOME", m_oldConfig);
}

QString ScopedProgramEnvironment::settingsFile() const
{
    return m_config.path() + QStringLiteral("/Tavrik/Tavrik.conf");
}

void writeFileOrFail(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFileOrFail(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

ScopedReadOnly::ScopedReadOnly(const QString& path) : m_path(QFile::encodeName(path))
{
    struct stat st {};
    if (::stat(m_path.constData(), &st) != 0)
        return;
    m_oldMode = st.st_mode & 07777;
    ::chmod(m_path.constData(), S_ISDIR(st.st_mode) ? 0500 : 0400);
    if (::geteuid() != 0) {
        m_active = true;
        return;
    }
    const int fd = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &m_oldFlags) == 0) {
        int flags = m_oldFlags | FS_IMMUTABLE_FL;
        m_immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (fd >= 0)
        ::close(fd);
    m_active = m_immutable;
}

ScopedReadOnly::~ScopedReadOnly()
{
    if (m_immutable) {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::ioctl(fd, FS_IOC_SETFLAGS, &m_oldFlags);
            ::close(fd);
        }
    }
    if (m_oldMode)
        ::chmod(m_path.constData(), m_oldMode);
}
