#pragma once

#include "trace/HopGrid.h"

#include <QTableWidget>

// The hop grid of the trace view over a table widget. Grid row 0 is the table's header; grid row n is table row
// n − 1, so the tracer's row numbers and the header texts read the same as in the grid.
class HopTable : public QTableWidget, public HopGrid {
    Q_OBJECT
public:
    explicit HopTable(QWidget* parent = nullptr);

    void initLayout() override;
    QString text(int row, int column) const override;
    void setText(int row, int column, const QString& text) override;

    // The grid row and column under a point of the viewport; row −1 when there is none.
    std::pair<int, int> cellAt(const QPoint& viewportPos) const;
};
