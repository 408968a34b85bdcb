// Arbitrary bytes as country.txt, through the file loader and line by line, then looked up by the codes they hold.
#include "trace/CountryTable.h"

#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const QString path = FuzzSupport::scratchFolder() + QStringLiteral("/country.txt");
    FuzzSupport::writeFile(path, input);

    CountryTable table;
    FUZZ_CHECK(table.load(path));
    // One entry at most per line: the rest of an overlong line must not come back as lines of its own.
    FUZZ_CHECK(table.size() <= input.count('\n') + 1);

    CountryTable byLine;
    for (const QByteArray& line : input.split('\n')) {
        byLine.addLine(QString::fromUtf8(line));
        const qsizetype separator = line.indexOf(';');
        if (separator >= 0)
            table.lookup(QString::fromUtf8(line.left(separator)));
    }
    FUZZ_CHECK(byLine.size() <= input.count('\n') + 1);
    table.lookup(QStringLiteral("RU"));
    table.lookup(QString());
    return 0;
}
