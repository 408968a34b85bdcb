// Query texts in the classic driver's dialect: #m/d/yyyy h:n# literals, Format(date, code), [bracketed] names.
#include "platform/TextSql.h"

#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString sql = QString::fromUtf8(FuzzSupport::bytes(data, size));
    const QString translated = TextSql::translate(sql);
    // SQLite reads brackets and Format as they are; only date literals are rewritten.
    if (!sql.contains(u'#'))
        FUZZ_CHECK(translated == sql);
    return 0;
}
