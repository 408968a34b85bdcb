// Arbitrary bytes as an INI file: every section and key the bytes name is read back, then one value is written and
// must read back the same from the rewritten file.
#include "platform/ProfileIni.h"

#include "tests/fuzz/FuzzSupport.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

// The names the input itself uses, found the way a person would look at the file, so the lookups hit its sections
// and keys rather than only missing them.
void namesIn(const QByteArray& input, QStringList* sections, QStringList* keys)
{
    const QString text = QString::fromUtf8(input);
    for (const QString& row : text.split(u'\n')) {
        const QString trimmed = row.trimmed();
        if (trimmed.startsWith(u'['))
            sections->append(trimmed.mid(1).section(u']', 0, 0));
        else if (trimmed.contains(u'='))
            keys->append(trimmed.section(u'=', 0, 0));
    }
    sections->append(QStringLiteral("Load"));
    keys->append(QStringLiteral("PingValues"));
}

QString unquoted(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const QString path = FuzzSupport::scratchFolder() + QStringLiteral("/hosts.ini");
    FuzzSupport::writeFile(path, input);

    QStringList sections, keys;
    namesIn(input, &sections, &keys);
    // A new reader for each input: the file is rewritten in place, and its identity alone may not tell the change.
    ProfileIni ini(path);
    for (const QString& section : std::as_const(sections)) {
        const auto entries = ini.sectionEntries(section);
        for (const QString& key : std::as_const(keys)) {
            const auto value = ini.value(section, key);
            FUZZ_CHECK(!value || entries);
        }
    }

    // The last line of the input, cut at its first "=", is the entry to write into its first section.
    const QString last = QString::fromUtf8(input).section(u'\n', -1);
    const QString key = last.section(u'=', 0, 0);
    const QString value = last.section(u'=', 1);
    const QString section = sections.constFirst();
    if (!ini.writeValue(section, key, value))
        return 0;
    const std::optional<QString> written = ini.value(section, key);
    FUZZ_CHECK(written && *written == unquoted(value.trimmed()));
    ProfileIni reread(path);
    const std::optional<QString> fromDisk = reread.value(section, key);
    FUZZ_CHECK(fromDisk && *fromDisk == *written);
    return 0;
}
