#pragma once

#include "trace/HopGrid.h"

#include <QList>
#include <QString>

#include <array>
#include <vector>

// A hop grid over a plain table, for tests and the benchmark. It records every write so a test can tell a cell
// that was written empty from one that was left alone.
class TableGrid final : public HopGrid {
public:
    struct Write {
        int row;
        int column;
        QString text;
    };

    TableGrid() : m_cells(Rows) {}

    void initLayout() override
    {
        ++layouts;
        for (auto& row : m_cells)
            row.fill(QString());
        m_cells[0] = {QStringLiteral("N"),        QStringLiteral("Host name"), QStringLiteral("IP Address"),
                      QStringLiteral("Time, ms"), QStringLiteral("Network"),   QStringLiteral("Country")};
        for (int row = 1; row < Rows; ++row)
            m_cells[row][Number] = QString::number(row);
    }
    QString text(int row, int column) const override { return inside(row, column) ? m_cells[row][column] : QString(); }
    void setText(int row, int column, const QString& text) override
    {
        writes.append({row, column, text});
        if (inside(row, column))
            m_cells[row][column] = text;
    }

    // Rows 1.. that hold a host name or an address.
    int filledRows() const
    {
        int count = 0;
        for (int row = 1; row < Rows; ++row)
            count += !m_cells[row][HostName].isEmpty() || !m_cells[row][Address].isEmpty();
        return count;
    }

    int layouts = 0;
    QList<Write> writes;

private:
    static bool inside(int row, int column) { return row >= 0 && row < Rows && column >= 0 && column < Columns; }
    std::vector<std::array<QString, Columns>> m_cells;
};
