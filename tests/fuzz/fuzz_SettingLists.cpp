// The ";"-joined number lists of the settings, one setting a line in the order below, then ping results one a line:
// they build the colour scale and lay out the live graph, which then takes the results. A missing line means a
// missing setting, which reads as its default.
#include "monitor/ColourScale.h"
#include "monitor/PingGraph.h"
#include "monitor/Settings.h"

#include "tests/fuzz/FuzzSupport.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

constexpr int MaxResults = 64;

QString setting(const QStringList& lines, qsizetype index, const SettingKey& key)
{
    return index < lines.size() ? lines[index] : QString::fromLatin1(key.defaultValue);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList lines = QString::fromUtf8(FuzzSupport::bytes(data, size)).split(u'\n');
    const QString pingValues = setting(lines, 0, Keys::PingValues);
    const QString pingColors = setting(lines, 1, Keys::PingColors);
    const QString backLevel = setting(lines, 2, Keys::PingBackLevel);
    const QString backValues = lines.size() > 3 ? lines[3] : Settings::defaultBackValues(pingValues);
    const QString backColors = setting(lines, 4, Keys::PingBackColors);
    const QString scaleText = setting(lines, 5, Keys::PingScale);

    QString error;
    const std::optional<ColourScale> parsed = ColourScale::fromLists(pingValues, pingColors, &error);
    FUZZ_CHECK(parsed || !error.isEmpty());
    const ColourScale scale = parsed.value_or(ColourScale::defaults());

    PingGraph graph;
    PingGraph::Layout layout;
    layout.backLevel = Settings::toInteger(backLevel).value_or(2);
    layout.backValues = backValues;
    layout.backColors = backColors;
    layout.scale = Settings::toInteger(scaleText).value_or(100);
    const std::optional<QString> refused = graph.build(layout);
    if (!refused) {
        FUZZ_CHECK(graph.bands().size() == layout.backLevel);
        FUZZ_CHECK(graph.topValue() >= 1);
    }

    for (qsizetype i = 6; i < lines.size() && i < 6 + MaxResults; ++i) {
        const std::optional<int> ms = Settings::toInteger(lines[i]);
        if (!ms)
            continue;
        scale.colourName(*ms);
        scale.barColour(*ms);
        graph.advance(*ms, scale);
        FUZZ_CHECK(graph.values().size() == graph.slotCount() + 1);
    }
    return 0;
}
