#include "trace/ui/HopTable.h"

#include <QHeaderView>

namespace {

struct ColumnLayout {
    const char* header;
    int widthTwips;
    Qt::Alignment alignment;
};

constexpr ColumnLayout Layout[HopGrid::Columns] = {
    {"N", 300, Qt::AlignRight | Qt::AlignVCenter},          {"Host name", 3000, Qt::AlignLeft | Qt::AlignVCenter},
    {"IP Address", 1500, Qt::AlignLeft | Qt::AlignVCenter}, {"Time, ms", 900, Qt::AlignRight | Qt::AlignVCenter},
    {"Network", 2000, Qt::AlignLeft | Qt::AlignVCenter},    {"Country", 1400, Qt::AlignLeft | Qt::AlignVCenter},
};

} // namespace

HopTable::HopTable(QWidget* parent) : QTableWidget(HopGrid::Rows - 1, HopGrid::Columns, parent)
{
    setObjectName(QStringLiteral("FLX"));
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setMouseTracking(true);
    setWordWrap(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setStretchLastSection(true);
    initLayout();
}

void HopTable::initLayout()
{
    setUpdatesEnabled(false);
    clearContents();
    const double pixelsPerTwip = logicalDpiX() / 1440.0;
    for (int c = 0; c < Columns; ++c) {
        setHorizontalHeaderItem(c, new QTableWidgetItem(QLatin1String(Layout[c].header)));
        setColumnWidth(c, int(Layout[c].widthTwips * pixelsPerTwip + 0.5));
    }
    // The number column must still show three digits at any font size.
    setColumnWidth(Number, std::max(columnWidth(Number), fontMetrics().horizontalAdvance(QStringLiteral("0000"))));
    horizontalHeader()->setFixedHeight(std::max(int(300 * logicalDpiY() / 1440.0 + 0.5), fontMetrics().height() + 4));
    for (int row = 1; row < Rows; ++row)
        setText(row, Number, QString::number(row));
    setUpdatesEnabled(true);
    setCurrentCell(0, HostName);
}

QString HopTable::text(int row, int column) const
{
    if (row == 0) {
        const QTableWidgetItem* header = horizontalHeaderItem(column);
        return header ? header->text() : QString();
    }
    const QTableWidgetItem* cell = item(row - 1, column);
    return cell ? cell->text() : QString();
}

void HopTable::setText(int row, int column, const QString& text)
{
    if (row < 1 || row >= Rows || column < 0 || column >= Columns)
        return;
    QTableWidgetItem* cell = item(row - 1, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        cell->setTextAlignment(Layout[column].alignment);
        setItem(row - 1, column, cell);
    }
    cell->setText(text);
}

std::pair<int, int> HopTable::cellAt(const QPoint& viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    if (!index.isValid())
        return {-1, -1};
    return {index.row() + 1, index.column()};
}
