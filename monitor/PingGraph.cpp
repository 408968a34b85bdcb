#include "monitor/PingGraph.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

PingGraph::PingGraph() : PingGraph(Design{}) {}

PingGraph::PingGraph(Design design) : m_design(design)
{
    m_slots = int((m_design.lnX.x2 - m_design.lnX.x1) / 100);
    m_shown.fill(0, m_slots + 1);
    m_incoming.fill(0, m_slots + 1);
    build(Layout{});
}

namespace {

std::optional<QList<std::int64_t>> numbers(const QString& joined, int count)
{
    const QStringList items = joined.split(u';');
    if (items.size() < count)
        return std::nullopt;
    QList<std::int64_t> out;
    for (int i = 0; i < count; ++i) {
        // The graph settings window saves what it was given: rows it added and never given a limit as empty
        // entries, typed limits as any decimal number ("12.5", "1e+300"). Both are read, never refused.
        const QString item = items[i].trimmed();
        if (item.isEmpty()) {
            out.append(0);
            continue;
        }
        bool ok = false;
        const qlonglong whole = item.toLongLong(&ok);
        if (ok) {
            out.append(whole);
            continue;
        }
        const double real = item.toDouble(&ok);
        if (!ok || std::isnan(real))
            return std::nullopt;
        constexpr double Bound = double(std::numeric_limits<std::int32_t>::max());
        out.append(std::int64_t(std::llround(std::clamp(real, -Bound, Bound))));
    }
    return out;
}

} // namespace

std::optional<QString> PingGraph::build(const Layout& settings)
{
    const Line& lnX = m_design.lnX;
    const Line& lnY = m_design.lnY;
    if (settings.backLevel < 1)
        return QStringLiteral("Invalid band count %1").arg(settings.backLevel);
    if (settings.scale < 1 || settings.scale > std::numeric_limits<qint16>::max())
        return QStringLiteral("Invalid graph scale %1%").arg(settings.scale);
    const auto bounds = numbers(settings.backValues, settings.backLevel);
    const auto colours = numbers(settings.backColors, settings.backLevel);
    if (!bounds || !colours)
        return QStringLiteral("Subscript out of range: %1 bands need as many band values and colours")
            .arg(settings.backLevel);
    const int gridSteps = int(std::lround((lnY.y1 - lnY.y2) / 200));
    const int top = settings.scale * gridSteps;
    if (top > std::numeric_limits<qint16>::max() || top < 1)
        return QStringLiteral("Overflow: the graph's top value %1 ms").arg(top);

    m_scalePercent = settings.scale;
    m_scaleFactor = settings.scale / 100.0;
    m_gridSteps = gridSteps;
    m_topValue = top;
    const double height = lnX.y1 - lnY.y2;
    const double width = lnX.x2 - lnX.x1;

    m_bands.clear();
    double previousTop = lnX.y1;
    for (int i = 0; i < settings.backLevel; ++i) {
        const double upper = double((*bounds)[i]);
        const double lower = i == 0 ? 0 : double((*bounds)[i - 1]);
        Box band;
        band.colour = (*colours)[i];
        band.left = lnY.x1;
        band.width = width;
        // Limits out of order give a band without extent rather than one drawn downwards over the others.
        band.height = height / m_topValue * std::max(0.0, upper - lower);
        band.top = previousTop - band.height;
        // A band reaching past the top of the scale is cut there, keeping its lower edge on the band below.
        if (band.top < lnY.y2) {
            band.top = lnY.y2;
            band.height = std::max(0.0, previousTop - band.top);
        }
        band.visible = upper > lower && !(lower >= m_topValue && upper > m_topValue);
        previousTop = band.top;
        m_bands.append(band);
    }

    // Elements left over from a larger scale stay in the lists, hidden.
    for (Line& line : m_grid)
        line.visible = false;
    for (Box& label : m_labels)
        label.visible = false;
    for (int j = 0; j < m_gridSteps; ++j) {
        if (j >= m_grid.size()) {
            m_grid.append(Line{});
            m_labels.append(Box{});
        }
        const double y = lnX.y1 - (j + 1) * 200.0;
        m_grid[j] = Line{lnY.x1, y, lnX.x2, y, true};
        Box& label = m_labels[j];
        label.text = QString::number(m_scalePercent * (j + 1));
        label.height = m_design.labelHeight;
        label.width = m_design.labelWidth;
        label.left = lnY.x1 - m_design.labelWidth - 30;
        label.top = y - label.height / 2;
        label.visible = true;
    }

    m_bars.resize(m_slots + 1);
    for (int i = 0; i <= m_slots; ++i) {
        Box& bar = m_bars[i];
        bar.left = lnY.x1 + 50 + 100.0 * i;
        bar.top = lnX.y1;
        bar.width = 50;
        bar.height = 0;
        bar.visible = true;
    }
    m_average = Line{lnX.x1, lnX.y1, lnX.x2, lnX.y1, false};
    return std::nullopt;
}

void PingGraph::advance(double value, const ColourScale& scale, const std::function<void()>& handOver)
{
    for (int i = 0; i < m_slots; ++i)
        m_incoming[i] = m_shown[i + 1];
    if (handOver)
        handOver();
    m_incoming[m_slots] = value;

    const Line& lnX = m_design.lnX;
    const double topLabel = double(m_topValue);
    double sum = 0;
    int count = 0;
    for (int i = 0; i <= m_slots; ++i) {
        const double v = m_incoming[i];
        if (v > 0) {
            sum += v;
            ++count;
        }
        m_shown[i] = v;
        Box& bar = m_bars[i];
        bar.colour = scale.barColour(int(std::lround(v)));
        bar.height = 2 * std::min(v, topLabel) / m_scaleFactor;
        bar.text = QString::number(v);
        bar.top = lnX.y1 - bar.height + m_design.axisBorder;
    }
    if (sum > 0) {
        const double y = lnX.y1 - (2 * sum / m_scaleFactor) / count;
        m_average = Line{lnX.x1, y, lnX.x2, y, true};
    } else {
        m_average.visible = false;
    }
}
