#pragma once

#include "platform/DateMatcher.h"
#include "platform/LargePageAllocator.h"
#include "platform/TextSql.h"

#include <QByteArray>

#include <array>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace TextSql {

// A table file parsed into columns in memory, with its rows ordered by the first date column so that a period is
// found by binary search. A file that only grew since the last look is read from where the last complete line
// ended; a file that was replaced, or a change of the columns or of the date form, reads it afresh.
class TableImage {
public:
    explicit TableImage(TableDescription description);
    TableImage(const TableImage&) = delete;
    TableImage& operator=(const TableImage&) = delete;

    const TableDescription& description() const { return m_description; }
    // The date form the image was read with; a different one needs a new image.
    QString dateSignature() const { return m_dates.signature(); }
    bool refresh(const QString& path, QString* error);

    qsizetype rowCount() const { return m_rows.count; }
    // The first date column, which orders the rows; -1 when the table has none (rows keep file order).
    int orderColumn() const { return m_orderColumn; }
    // Rows whose order column is null come first, as an ascending sort puts them; among equal moments the file
    // order holds.
    quint32 rowAt(qsizetype position) const
    {
        return m_order.empty() ? static_cast<quint32>(position) : m_order[static_cast<std::size_t>(position)];
    }
    qsizetype nullRows() const { return m_nullRows; }
    // The first position whose order-column text compares >= (or >, when `after`) the given text byte by byte.
    qsizetype lowerBound(const char* text, qsizetype length, bool after) const;

    // Date and integer columns; NullKey for a null value.
    qint64 number(int column, quint32 row) const
    {
        return m_rows.columns[static_cast<std::size_t>(column)].numbers[row];
    }
    // Text columns; null for a missing field.
    const std::string* text(int column, quint32 row) const
    {
        const ColumnData& data = m_rows.columns[static_cast<std::size_t>(column)];
        const quint32 id = data.ids[row];
        return id == 0 ? nullptr : &data.texts[id - 1];
    }

private:
    struct ColumnData {
        ColumnType type = ColumnType::Text;
        std::vector<qint64, LargePageAllocator<qint64>> numbers;
        std::vector<quint32, LargePageAllocator<quint32>> ids; // 1-based into texts, 0 for null
        std::deque<std::string> texts;
        std::unordered_map<std::string_view, quint32> index;
        std::string lastDate; // consecutive lines mostly share their moment
        DateKey lastKey = NullKey;
        std::array<quint32, 4> recent{};
        std::size_t nextRecent = 0;
        quint32 intern(std::string_view value);
    };
    // Rows as parsed, in file order.
    struct Rows {
        std::vector<ColumnData> columns;
        qsizetype count = 0;
        qint64 consumed = 0;        // bytes up to the end of the last complete line
        qsizetype completeRows = 0; // rows of complete lines; a partial last line's row follows them
        void reserve(qsizetype rows);
        const char* appendLine(const char* line, const DateMatcher& dates);
        void appendPartial(const char* begin, const char* end, const DateMatcher& dates);
        void dropFrom(qsizetype row);
        void append(Rows&& more);
    };

    void reset();
    Rows emptyRows() const;
    bool read(int fd, qint64 from, qint64 to);
    // Reads [from, to) into rows, keeping room for the rows up to reserveTo.
    static void readRange(int fd, qint64 from, qint64 to, qint64 reserveTo, const DateMatcher& dates, Rows& rows);
    void orderNewRows(qsizetype firstNew);
    bool appendsToOrder(qsizetype firstNew);

    TableDescription m_description;
    DateMatcher m_dates;
    Rows m_rows;
    int m_orderColumn = -1;
    std::vector<quint32, LargePageAllocator<quint32>> m_order; // empty while the file order is already the sorted order
    qsizetype m_nullRows = 0;
    bool m_orderDirty = false;

    qint64 m_size = -1;
    qint64 m_modifiedNs = 0;
    QByteArray m_head; // the first bytes, and
    QByteArray m_tail; // the bytes just before the last complete line's end: they tell growth from replacement
};

} // namespace TextSql
