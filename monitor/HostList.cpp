#include "monitor/HostList.h"

#include <QFile>
#include <QHash>

namespace HostList {

QStringList defaultHosts()
{
    return {QStringLiteral("www.debian.org"),    QStringLiteral("www.kernel.org"), QStringLiteral("www.gnu.org"),
            QStringLiteral("www.wikipedia.org"), QStringLiteral("www.qt.io"),      QStringLiteral("www.mozilla.org")};
}

QStringList load(cINI& ini, bool* created)
{
    const bool missing = !QFile::exists(ini.FilePath());
    if (missing) {
        const QStringList defaults = defaultHosts();
        for (int i = 0; i < defaults.size(); ++i)
            ini.CreateSection(QLatin1String(Section), QString::number(i + 1), defaults[i]);
    }
    if (created)
        *created = missing;

    // One pass over the section instead of one lookup per key keeps a list of thousands of hosts quick to load;
    // the first of duplicate keys wins, as a key-by-key lookup would find it.
    QHash<QString, QString> byKey;
    for (const auto& [key, value] : ini.SectionValues(QLatin1String(Section))) {
        if (!byKey.contains(key))
            byKey.insert(key, value);
    }
    QStringList hosts;
    for (int n = 1;; ++n) {
        const QString host = byKey.value(QString::number(n));
        if (host.isEmpty())
            break;
        hosts.append(host);
    }
    return hosts;
}

bool save(cINI& ini, const QStringList& hosts)
{
    if (!QFile::exists(ini.FilePath()))
        return false;
    QList<std::pair<QString, QString>> entries;
    for (const QString& host : hosts) {
        const QString trimmed = host.trimmed();
        if (!trimmed.isEmpty())
            entries.append({QString::number(entries.size() + 1), trimmed});
    }
    return ini.ReplaceSection(QLatin1String(Section), entries);
}

} // namespace HostList
