#include "platform/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace {

bool isSystemLocation(const QString& folder)
{
    // Root may write anywhere, so being writable alone does not make /usr/bin a program folder.
    static const char* const prefixes[] = {"/usr/", "/opt/", "/bin", "/sbin", "/lib", "/etc/", "/snap/"};
    const QString canonical = QDir(folder).canonicalPath() + QLatin1Char('/');
    for (const char* prefix : prefixes) {
        if (canonical.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

void copyCountryTableInto(const QString& folder, const QString& executableFolder)
{
    const QString target = folder + QStringLiteral("/country.txt");
    if (QFile::exists(target))
        return;
    // An installed program ships the table in its data folder; a build tree keeps it beside the executable.
    const QStringList candidates = {
        executableFolder + QStringLiteral("/country.txt"),
        executableFolder + QStringLiteral("/../share/tavrik/country.txt"),
    };
    for (const QString& source : candidates) {
        if (QFile::exists(source) && QFile::copy(source, target))
            return;
    }
}

} // namespace

QString programFolderFor(const QString& executableFolder)
{
    const QString home = qEnvironmentVariable("TAVRIK_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return QDir(home).absolutePath();
    }
    if (!executableFolder.isEmpty() && ::access(QFile::encodeName(executableFolder).constData(), W_OK) == 0 &&
        !isSystemLocation(executableFolder))
        return QDir(executableFolder).absolutePath();

    const QString data =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Tavrik");
    QDir().mkpath(data);
    copyCountryTableInto(data, executableFolder);
    return data;
}

QString programFolder()
{
    return programFolderFor(QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString());
}

QString programFile(const QString& fileName)
{
    return programFolder() + QLatin1Char('/') + fileName;
}
