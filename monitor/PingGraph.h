#pragma once

#include "monitor/ColourScale.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// The live ping graph's model: every element's geometry in twips (1/1440 inch), computed from the settings and the
// recent results. A view paints it; tests check it with numbers.
class PingGraph {
public:
    struct Line {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        bool visible = false;
    };
    struct Box {
        double left = 0, top = 0, width = 0, height = 0;
        std::int64_t colour = 0; // stored colour value; may name a system colour
        bool visible = false;
        QString text; // a label's caption, a bar's value
    };
    // The design-time frame: the axes and the height of a value label.
    struct Design {
        Line lnX{480, 2640, 6480, 2640, true}; // time axis: Y1 is the bars' baseline
        Line lnY{480, 2640, 480, 240, true};   // value axis: Y1 bottom, Y2 top
        double labelHeight = 195;
        double labelWidth = 420;
        double axisBorder = 1; // border width of lnX, added below the bars' tops
    };
    // What a build reads from the settings.
    struct Layout {
        int backLevel = 2;
        QString backValues = QStringLiteral("1500;3000");
        QString backColors = QStringLiteral("-2147483624;16777152");
        int scale = 100; // percent; also the milliseconds per grid step
    };

    PingGraph();
    explicit PingGraph(Design design);

    // Lays out bands, grid, labels and bars; the values are kept. Settings that cannot be laid out (fewer band
    // entries than bands, a scale below 1) are refused with a reason and leave the previous layout.
    std::optional<QString> build(const Layout& settings);
    // Shifts the values left and appends `value`; `handOver` runs after the shift and before the value is appended
    // (the log is written there).
    void advance(double value, const ColourScale& scale, const std::function<void()>& handOver = {});

    int slotCount() const { return m_slots; } // N: the graph shows N + 1 values
    int gridSteps() const { return m_gridSteps; }
    int topValue() const { return m_topValue; }
    double scaleFactor() const { return m_scaleFactor; }
    const Design& design() const { return m_design; }
    const QList<double>& values() const { return m_shown; }
    const QList<Box>& bands() const { return m_bands; }
    const QList<Line>& gridLines() const { return m_grid; }
    const QList<Box>& labels() const { return m_labels; }
    const QList<Box>& bars() const { return m_bars; }
    const Line& averageLine() const { return m_average; }

private:
    Design m_design;
    int m_slots = 0;
    int m_gridSteps = 0;
    int m_topValue = 0;
    int m_scalePercent = 100;
    double m_scaleFactor = 1;
    QList<double> m_shown, m_incoming;
    QList<Box> m_bands, m_labels, m_bars;
    QList<Line> m_grid;
    Line m_average;
};
