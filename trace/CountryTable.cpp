#include "trace/CountryTable.h"

#include "platform/ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

QString decodeLine(const QByteArray& bytes)
{
    // The generated table is UTF-8; a hand-made one from a Windows editor may be in an 8-bit code page, which Latin-1
    // keeps readable instead of turning every accented letter into a replacement character.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return text;
}

// A line cut at MaxLineBytes may end inside a UTF-8 sequence; that stump would make the whole line read as
// Latin-1 and turn a readable name into mojibake.
void dropCutSequence(QByteArray& line)
{
    qsizetype lead = line.size() - 1;
    while (lead > 0 && line.size() - lead < 4 && (uchar(line[lead]) & 0xC0) == 0x80)
        --lead;
    if (lead < 0)
        return;
    const uchar first = uchar(line[lead]);
    const qsizetype need = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (line.size() - lead < need)
        line.truncate(lead);
}

} // namespace

void CountryTable::addLine(QString line)
{
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    const qsizetype separator = line.indexOf(u';');
    if (separator < 0)
        return;
    const qsizetype nameEnd = line.indexOf(u';', separator + 1);
    m_codes.append(line.left(separator));
    m_names.append(line.mid(separator + 1, nameEnd < 0 ? -1 : nameEnd - separator - 1));
}

bool CountryTable::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool first = true;
    while (!file.atEnd()) {
        // readLine(n) stops after n - 1 bytes, so this returns at most MaxLineBytes of the line.
        QByteArray line = file.readLine(MaxLineBytes + 1);
        if (line.isEmpty() && !file.atEnd())
            break; // a read error: keep what was read so far
        if (!line.endsWith('\n')) {
            if (line.size() == MaxLineBytes)
                dropCutSequence(line);
            while (!file.atEnd()) {
                const QByteArray rest = file.readLine(MaxLineBytes + 1);
                if (rest.isEmpty() || rest.endsWith('\n'))
                    break;
            }
        }
        if (first && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3); // an editor's byte order mark would otherwise become part of the first code
        first = false;
        addLine(decodeLine(line));
    }
    return true;
}

QString CountryTable::lookup(const QString& code) const
{
    const QString wanted = code.toUpper();
    for (qsizetype i = m_codes.size() - 1; i >= 0; --i) {
        if (m_codes[i] == wanted)
            return m_names[i];
    }
    return {};
}

void CountryTable::clear()
{
    m_codes.clear();
    m_names.clear();
}

CountryTable& programCountryTable()
{
    static CountryTable table;
    return table;
}

QString CountryName(const QString& code)
{
    if (code.isEmpty() || code.size() > 2)
        return {};
    const QString path = programFile(QStringLiteral("country.txt"));
    if (!QFileInfo::exists(path))
        return {};
    CountryTable& table = programCountryTable();
    if (table.isEmpty())
        table.load(path);
    return table.lookup(code);
}
