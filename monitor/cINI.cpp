#include "monitor/cINI.h"

namespace {

QString asBuffered(const QString& value)
{
    QString cut = value.left(value.indexOf(QChar(0)));
    cut.truncate(cINI::ValueBufferChars - 1);
    return cut;
}

} // namespace

QString cINI::GetVal(const QString& section, const QString& key) const
{
    return asBuffered(m_ini.value(section, key).value_or(QString()));
}

QString cINI::GetSection(const QString& section) const
{
    QString buffer;
    for (const QString& entry : m_ini.sectionEntries(section).value_or(QStringList()))
        buffer += entry + QChar(0);
    // A full buffer ends in two NULs; what is returned stops after the first of them.
    constexpr int room = SectionBufferChars - 2;
    if (buffer.size() > room) {
        buffer.truncate(room);
        buffer += QChar(0);
    }
    return buffer;
}

bool cINI::CreateSection(const QString& section, const QString& key, const QString& value)
{
    return m_ini.writeValue(section, key, value);
}

bool cINI::DeleteSection(const QString& section)
{
    return m_ini.deleteSection(section);
}

bool cINI::DeleteKey(const QString& section, const QString& key)
{
    return m_ini.deleteKey(section, key);
}

bool cINI::DeleteValue(const QString& section, const QString& key)
{
    return m_ini.writeValue(section, key, QString());
}

QList<std::pair<QString, QString>> cINI::SectionValues(const QString& section) const
{
    QList<std::pair<QString, QString>> values;
    for (const QString& entry : m_ini.sectionEntries(section).value_or(QStringList())) {
        const qsizetype eq = entry.indexOf(u'=');
        values.append({entry.left(eq), asBuffered(entry.mid(eq + 1))});
    }
    return values;
}

bool cINI::ReplaceSection(const QString& section, const QList<std::pair<QString, QString>>& entries)
{
    return m_ini.replaceSection(section, entries);
}
