#include "platform/ProfileIni.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

#include <sys/stat.h>

namespace {

QString unquoted(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

bool fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

bool hasLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

} // namespace

ProfileIni::ProfileIni(QString path) : m_path(std::move(path)) {}

void ProfileIni::setPath(const QString& path)
{
    if (path == m_path)
        return;
    m_path = path;
    m_loaded = false;
}

ProfileIni::Identity ProfileIni::identity() const
{
    struct stat st {};
    if (m_path.isEmpty() || ::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return {};
    return {true, static_cast<qint64>(st.st_size), static_cast<qint64>(st.st_ino),
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

bool ProfileIni::refresh() const
{
    const Identity now = identity();
    if (m_loaded && now == m_identity)
        return now.exists;
    m_loaded = true;
    m_identity = now;
    m_lines.clear();
    m_truncated = false;
    m_latin1 = false;
    m_lineEnd = QStringLiteral("\r\n");
    if (!now.exists)
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Asking for the whole cap would allocate 16 MiB on every re-read of a file of a few lines. A file that grows
    // after the size was taken counts as cut, so nothing is rewritten from a partial read.
    const QByteArray bytes = file.read(std::clamp<qint64>(file.size(), 0, MaxFileBytes));
    m_truncated = !file.atEnd();
    parse(bytes);
    return true;
}

void ProfileIni::parse(const QByteArray& bytes) const
{
    auto toUtf16 = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = toUtf16(bytes);
    if (toUtf16.hasError()) {
        // Files written by older tools are in a single-byte code page; Latin-1 keeps every byte round-trippable.
        m_latin1 = true;
        text = QString::fromLatin1(bytes);
    }
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QRegularExpressionMatch first = lineBreak.match(text);
    if (first.hasMatch())
        m_lineEnd = first.captured();

    QStringList rows = text.split(lineBreak);
    if (!rows.isEmpty() && rows.back().isEmpty())
        rows.removeLast(); // the break after the last line
    m_lines.reserve(rows.size());
    for (const QString& row : rows) {
        Line line;
        line.text = row;
        const QString trimmed = row.trimmed();
        if (trimmed.startsWith(u'[')) {
            const qsizetype close = trimmed.indexOf(u']');
            line.kind = Line::Kind::Section;
            line.name = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
        } else if (!trimmed.startsWith(u';') && trimmed.contains(u'=')) {
            const qsizetype eq = trimmed.indexOf(u'=');
            line.kind = Line::Kind::Entry;
            line.name = trimmed.left(eq).trimmed();
            line.value = unquoted(trimmed.mid(eq + 1).trimmed());
        }
        m_lines.append(std::move(line));
    }
}

int ProfileIni::findSection(const QString& section) const
{
    const QString wanted = section.trimmed();
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Line::Kind::Section && m_lines[i].name.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ProfileIni::sectionEnd(int header) const
{
    int i = header + 1;
    while (i < m_lines.size() && m_lines[i].kind != Line::Kind::Section)
        ++i;
    return i;
}

int ProfileIni::findKey(int header, const QString& key) const
{
    const QString wanted = key.trimmed();
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Line::Kind::Entry && m_lines[i].name.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::optional<QString> ProfileIni::value(const QString& section, const QString& key) const
{
    if (!refresh())
        return std::nullopt;
    const int header = findSection(section);
    if (header < 0)
        return std::nullopt;
    const int line = findKey(header, key);
    if (line < 0)
        return std::nullopt;
    return m_lines[line].value;
}

std::optional<QStringList> ProfileIni::sectionEntries(const QString& section) const
{
    if (!refresh())
        return std::nullopt;
    const int header = findSection(section);
    if (header < 0)
        return std::nullopt;
    QStringList entries;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        if (m_lines[i].kind == Line::Kind::Entry)
            entries.append(m_lines[i].name + u'=' + m_lines[i].value);
    }
    return entries;
}

bool ProfileIni::validName(const QString& section, const QString& key, const QString& value, QString* error)
{
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
        return fail(error, QStringLiteral("a line break cannot be stored in an INI file"));
    if (section.contains(u']') || section.trimmed().isEmpty())
        return fail(error, QStringLiteral("invalid section name"));
    const QString k = key.trimmed();
    if (k.contains(u'=') || k.isEmpty() || k.startsWith(u'[') || k.startsWith(u';'))
        return fail(error, QStringLiteral("invalid key name"));
    return true;
}

int ProfileIni::insertionPoint(int header) const
{
    int at = sectionEnd(header);
    while (at > header + 1 && m_lines[at - 1].text.trimmed().isEmpty())
        --at;
    return at;
}

int ProfileIni::ensureSection(const QString& section)
{
    const int header = findSection(section);
    if (header >= 0)
        return header;
    Line head;
    head.kind = Line::Kind::Section;
    head.name = section.trimmed();
    head.text = u'[' + head.name + u']';
    m_lines.append(head);
    return int(m_lines.size()) - 1;
}

ProfileIni::Line ProfileIni::entryLine(const QString& key, const QString& value)
{
    Line line;
    line.kind = Line::Kind::Entry;
    line.name = key.trimmed();
    line.value = unquoted(value.trimmed());
    line.text = line.name + u'=' + value;
    return line;
}

bool ProfileIni::writeValue(const QString& section, const QString& key, const QString& value, QString* error)
{
    if (!validName(section, key, value, error))
        return false;
    refresh();
    const int header = ensureSection(section);
    const int existing = findKey(header, key);
    if (existing >= 0)
        m_lines[existing] = entryLine(m_lines[existing].name, value); // keep the spelling the file already uses
    else
        m_lines.insert(insertionPoint(header), entryLine(key, value));
    return save(error);
}

bool ProfileIni::replaceSection(const QString& section, const QList<std::pair<QString, QString>>& entries,
                                QString* error)
{
    for (const auto& [key, value] : entries) {
        if (!validName(section, key, value, error))
            return false;
    }
    refresh();
    const int header = ensureSection(section);
    for (int i = sectionEnd(header) - 1; i > header; --i) {
        if (m_lines[i].kind == Line::Kind::Entry)
            m_lines.removeAt(i);
    }
    int at = insertionPoint(header);
    for (const auto& [key, value] : entries)
        m_lines.insert(at++, entryLine(key, value));
    return save(error);
}

bool ProfileIni::deleteKey(const QString& section, const QString& key, QString* error)
{
    if (!refresh())
        return true;
    const int header = findSection(section);
    const int line = header < 0 ? -1 : findKey(header, key);
    if (line < 0)
        return true;
    m_lines.removeAt(line);
    return save(error);
}

bool ProfileIni::deleteSection(const QString& section, QString* error)
{
    if (!refresh())
        return true;
    const int header = findSection(section);
    if (header < 0)
        return true;
    m_lines.remove(header, sectionEnd(header) - header);
    return save(error);
}

bool ProfileIni::save(QString* error)
{
    if (m_truncated) {
        m_loaded = false;
        return fail(error, QStringLiteral("the file is too large to be rewritten safely"));
    }
    QString text;
    for (const Line& line : std::as_const(m_lines))
        text += line.text + m_lineEnd;

    QByteArray bytes;
    if (m_latin1) {
        // Qt's Latin-1 encoder writes "?" for a character it cannot encode and reports no error, so the check is
        // ours: a value outside Latin-1 turns the whole file into UTF-8 rather than into question marks.
        const bool fits = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
        bytes = fits ? text.toLatin1() : text.toUtf8();
    } else {
        bytes = text.toUtf8();
    }

    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_loaded = false; // what we hold no longer matches the disk
        return fail(error, file.errorString());
    }
    m_identity = identity();
    return true;
}
