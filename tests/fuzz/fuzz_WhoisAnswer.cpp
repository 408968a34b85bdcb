// A whois answer as the client receives it: a run of chunks, each widened byte by byte and joined to what came
// before, the whole parsed again after every chunk. The first byte chooses the zone, the next the number of chunks,
// then one byte per chunk its length; the rest is the answer.
#include "whois/WhoisAnswer.h"
#include "whois/cWhoIs.h"

#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

// Zones 0 to 6 are the client's; 7 stands for any other value, which reads as free text.
constexpr int ZoneCount = 8;
constexpr int MaxChunks = 16;

void checkCleaned(const QString& text)
{
    // Every line ends with CR LF and no CR stands alone.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r')
            FUZZ_CHECK(i + 1 < text.size() && text[i + 1] == u'\n');
        else if (text[i] == u'\n')
            FUZZ_CHECK(i > 0 && text[i - 1] == u'\r');
    }
}

cWhoIs& client()
{
    // Every service on loopback: the client resolves its server names on construction, and no lookup may leave
    // the machine.
    static cWhoIs whois(nullptr, WhoisServers::allAt(QStringLiteral("127.0.0.1")));
    return whois;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::startApplication();
    client();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int zone = data[0] % ZoneCount;
    const int chunks = 1 + data[1] % MaxChunks;
    std::size_t at = 2;
    QList<std::size_t> lengths;
    for (int i = 0; i + 1 < chunks && at < size; ++i)
        lengths.append(data[at++]);

    QString answer;
    WhoisAnswer::Parsed parsed;
    for (qsizetype i = 0; i <= lengths.size() && at <= size; ++i) {
        const std::size_t length = i < lengths.size() ? std::min(lengths[i], size - at) : size - at;
        answer += QString::fromLatin1(reinterpret_cast<const char*>(data + at), static_cast<qsizetype>(length));
        at += length;
        parsed = WhoisAnswer::parse(answer, zone);
        checkCleaned(parsed.text);
    }
    FUZZ_CHECK(answer.size() == static_cast<qsizetype>(size - 2 - lengths.size()));
    if (WhoisAnswer::isDatabaseZone(zone)) {
        for (const QString& line : parsed.text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            FUZZ_CHECK(!line.startsWith(u'%'));
    }

    // The same text handed to the client must give the fields it announces. An empty answer only clears the
    // message: the fields of the previous answer stay until the next one brings its own.
    cWhoIs& whois = client();
    whois.setZone(zone);
    whois.setReturnMessage(answer);
    FUZZ_CHECK(whois.ReturnMessage() == parsed.text);
    if (answer.isEmpty())
        return 0;
    FUZZ_CHECK(whois.NetworkName() == parsed.networkName);
    FUZZ_CHECK(whois.Organization() == parsed.organization);
    FUZZ_CHECK(whois.Description() == parsed.description);
    FUZZ_CHECK(whois.Country() == parsed.registrantCountry.value_or(parsed.country));

    WhoisAnswer::joinedValues(parsed.lines, u"address:");
    WhoisAnswer::BlockAfterFirstLine(parsed.text);
    return 0;
}
