#include "TestEnvironment.h"

#include <QFile>
#include <QSettings>

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
