#pragma once

#include <QString>

// The six-column hop grid of a route trace, as the tracer and the whois console see it. Row 0 is the header;
// hop n is row n. The trace view implements it over its table widget; tests use a plain table.
class HopGrid {
public:
    enum Column { Number = 0, HostName = 1, Address = 2, Time = 3, Network = 4, Country = 5, Columns = 6 };
    // Enough rows for every TTL up to 255 (hop n = TTL - 1), plus the header.
    static constexpr int Rows = 256;

    virtual ~HopGrid() = default;
    // Clears every data cell and applies the layout: headers "N", "Host name", "IP Address", "Time, ms", "Network",
    // "Country"; widths 300/3000/1500/900/2000/1400 twips; row numbers in column 0.
    virtual void initLayout() = 0;
    virtual QString text(int row, int column) const = 0;
    virtual void setText(int row, int column, const QString& text) = 0;
};
