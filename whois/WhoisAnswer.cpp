#include "whois/WhoisAnswer.h"

namespace WhoisAnswer {

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString valueAfter(QStringView line, QStringView key)
{
    return line.mid(key.size()).trimmed().toString();
}

// The text from two characters after `key` on: the key ends its line, and the two characters are its CR LF.
std::optional<QString> blockAfterKey(const QString& text, QStringView key)
{
    const qsizetype at = text.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    return text.mid(at + key.size() + 2);
}

QString cutThrough(const QString& text, QStringView marker)
{
    const qsizetype at = text.indexOf(marker, 0, Qt::CaseInsensitive);
    return at < 0 ? text : text.mid(at + marker.size());
}

QString firstLine(const QString& block)
{
    return QStringView(block).left(block.indexOf(CrLf)).trimmed().toString();
}

void parseDatabase(Parsed& p)
{
    p.country = joinedValues(p.lines, u"country:");
    p.networkName = joinedValues(p.lines, u"netname:");
    p.organization = joinedValues(p.lines, u"org:");
    constexpr QStringView person = u"person:";
    const qsizetype first = p.text.indexOf(person, 0, Qt::CaseInsensitive);
    if (first >= 0) {
        const qsizetype next = p.text.indexOf(person, first + person.size(), Qt::CaseInsensitive);
        const QString block = p.text.mid(first, next < 0 ? -1 : next - first);
        QStringList address;
        constexpr QStringView key = u"address:";
        for (const QStringView line : QStringView(block).split(CrLf)) {
            if (line.contains(key, Qt::CaseInsensitive))
                address.append(valueAfter(line, key));
        }
        p.address = address.join(CrLf);
    }
    p.description = joinedValues(p.lines, u"descr:");
}

void parseRegistrar(Parsed& p)
{
    std::optional<QString> block = blockAfterKey(p.text, u"Registrant:");
    if (!block)
        block = blockAfterKey(p.text, u"Organization:");
    if (block && block->contains(CrLf)) {
        p.address = BlockAfterFirstLine(*block);
        p.organization = firstLine(*block);
    }
    if (const std::optional<QString> registrant = blockAfterKey(p.text, u"Registrant:")) {
        const QStringList lines = registrant->split(CrLf);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].trimmed().isEmpty()) {
                // A block that starts with its empty line has no line before it to take the country from.
                if (i > 0)
                    p.registrantCountry = lines[i - 1].trimmed();
                break;
            }
        }
        p.description = lines.first().trimmed();
    }
}

} // namespace

bool isDatabaseZone(int zone)
{
    return zone == 0 || zone == 4 || zone == 5 || zone == 6;
}

QString clean(const QString& raw, int zone, QStringList* lines)
{
    QString text = raw;
    text.remove(u'\r');
    text.replace(u'\n', CrLf);
    if (!isDatabaseZone(zone)) {
        text = cutThrough(text, u" policy.");
        return cutThrough(text, u" you agree to abide by these terms.");
    }
    const QStringList all = text.split(CrLf);
    QString kept;
    kept.reserve(text.size());
    for (const QString& line : all) {
        if (!line.isEmpty() && !line.startsWith(u'%')) {
            kept += line;
            kept += CrLf;
        }
    }
    if (lines)
        *lines = all;
    return kept;
}

Parsed parse(const QString& raw, int zone)
{
    Parsed p;
    p.text = clean(raw, zone, &p.lines);
    if (isDatabaseZone(zone))
        parseDatabase(p);
    else
        parseRegistrar(p);
    return p;
}

QString joinedValues(const QStringList& lines, QStringView key)
{
    QStringList values;
    for (const QString& line : lines) {
        if (line.contains(key, Qt::CaseInsensitive))
            values.append(valueAfter(line, key));
    }
    return values.join(u' ');
}

QString BlockAfterFirstLine(const QString& text)
{
    const QStringList lines = text.split(CrLf);
    if (lines.size() < 3)
        return {};
    QString block;
    for (qsizetype i = 1; i < lines.size() && !lines[i].isEmpty(); ++i) {
        block += lines[i].trimmed();
        block += CrLf;
    }
    // Trimming takes the final CR LF with it.
    return block.trimmed();
}

} // namespace WhoisAnswer
