#include "platform/TableImage.h"

#include "platform/FileDescriptor.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace TextSql {

namespace {

constexpr qint64 ProbeBytes = 256;
constexpr std::size_t ChunkBytes = 8u << 20;

qint64 preadFully(int fd, char* buffer, qint64 size, qint64 offset)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buffer + done, static_cast<std::size_t>(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

QByteArray bytesAt(int fd, qint64 offset, qint64 size)
{
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    bytes.resize(static_cast<qsizetype>(preadFully(fd, bytes.data(), size, offset)));
    return bytes;
}

// A whole number, optionally signed and padded with blanks; anything else is no number.
qint64 parseInteger(const char* p, const char* end)
{
    while (p < end && *p == ' ')
        ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    qint64 value = 0;
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9' && digits < 18) {
        value = value * 10 + (*p++ - '0');
        ++digits;
    }
    while (p < end && *p == ' ')
        ++p;
    if (digits == 0 || p != end)
        return NullKey;
    return negative ? -value : value;
}

// Left uninitialised: clearing megabytes that are overwritten at once costs as much as parsing them.
class ReadBuffer {
public:
    explicit ReadBuffer(std::size_t size) : m_size(size), m_data(LargePageAllocator<char>().allocate(size)) {}
    ~ReadBuffer() { LargePageAllocator<char>().deallocate(m_data, m_size); }
    ReadBuffer(const ReadBuffer&) = delete;
    ReadBuffer& operator=(const ReadBuffer&) = delete;
    friend void swap(ReadBuffer& a, ReadBuffer& b) noexcept
    {
        std::swap(a.m_size, b.m_size);
        std::swap(a.m_data, b.m_data);
    }
    char* get() const { return m_data; }

private:
    std::size_t m_size;
    char* m_data;
};

int compareStored(DateKey key, const char* text, qsizetype length)
{
    char stored[20];
    writeStoredDate(key, stored);
    const int c = std::memcmp(stored, text, static_cast<std::size_t>(std::min<qsizetype>(19, length)));
    if (c != 0)
        return c;
    return length == 19 ? 0 : (19 < length ? -1 : 1);
}

} // namespace

quint32 TableImage::ColumnData::intern(std::string_view value)
{
    // A main log repeats the few hosts it was written for, line after line: the last ones seen answer most
    // lines without hashing.
    for (const quint32 id : recent)
        if (id != 0 && texts[id - 1] == value)
            return id;
    const auto found = index.find(value);
    quint32 id = 0;
    if (found != index.end()) {
        id = found->second;
    } else {
        texts.emplace_back(value);
        id = static_cast<quint32>(texts.size());
        index.emplace(texts.back(), id);
    }
    recent[nextRecent] = id;
    nextRecent = (nextRecent + 1) % recent.size();
    return id;
}

void TableImage::Rows::reserve(qsizetype rows)
{
    for (ColumnData& column : columns) {
        if (column.type == ColumnType::Text)
            column.ids.reserve(static_cast<std::size_t>(rows));
        else
            column.numbers.reserve(static_cast<std::size_t>(rows));
    }
}

// Parses one line that ends with '\n' and returns the start of the next. The fields are found in one pass over
// the line: a few dozen bytes, where a library call per field costs more than the scan.
const char* TableImage::Rows::appendLine(const char* line, const DateMatcher& dates)
{
    if (*line == '\n' || (line[0] == '\r' && line[1] == '\n'))
        return line + (*line == '\n' ? 1 : 2); // blank lines are no rows
    const char* p = line;
    bool more = true; // the line still has fields
    for (ColumnData& column : columns) {
        const char* start = p;
        const char* end = p;
        if (more) {
            while (*p != '\t' && *p != '\n')
                ++p;
            end = p;
            if (*p == '\t') {
                ++p;
            } else {
                more = false;
                if (end > start && end[-1] == '\r')
                    --end;
            }
        } else {
            start = nullptr;
        }
        switch (column.type) {
        case ColumnType::DateTime: {
            DateKey key = NullKey;
            if (start) {
                const std::string_view text(start, static_cast<std::size_t>(end - start));
                if (text == column.lastDate) {
                    key = column.lastKey;
                } else {
                    key = dates.parse(start, end);
                    column.lastDate.assign(text);
                    column.lastKey = key;
                }
            }
            column.numbers.push_back(key);
            break;
        }
        case ColumnType::Integer:
            column.numbers.push_back(start ? parseInteger(start, end) : NullKey);
            break;
        case ColumnType::Text:
            column.ids.push_back(start ? column.intern(std::string_view(start, static_cast<std::size_t>(end - start)))
                                       : 0);
            break;
        }
        start = nullptr;
    }
    ++count;
    if (more)
        while (*p != '\n')
            ++p;
    return p + 1;
}

// A last line without its line end is still being written: its row is kept, but a later refresh reads that line
// again.
void TableImage::Rows::appendPartial(const char* begin, const char* end, const DateMatcher& dates)
{
    std::string line(begin, static_cast<std::size_t>(end - begin));
    line += '\n';
    appendLine(line.c_str(), dates);
}

void TableImage::Rows::dropFrom(qsizetype row)
{
    if (row >= count)
        return;
    for (ColumnData& column : columns) {
        if (column.type == ColumnType::Text)
            column.ids.resize(static_cast<std::size_t>(row));
        else
            column.numbers.resize(static_cast<std::size_t>(row));
        column.lastDate.clear();
    }
    count = row;
}

void TableImage::Rows::append(Rows&& more)
{
    for (std::size_t c = 0; c < columns.size(); ++c) {
        ColumnData& into = columns[c];
        ColumnData& from = more.columns[c];
        if (into.type != ColumnType::Text) {
            into.numbers.insert(into.numbers.end(), from.numbers.begin(), from.numbers.end());
            continue;
        }
        std::vector<quint32> ids(from.texts.size() + 1, 0);
        for (std::size_t i = 0; i < from.texts.size(); ++i)
            ids[i + 1] = into.intern(from.texts[i]);
        into.ids.reserve(into.ids.size() + from.ids.size());
        for (const quint32 id : from.ids)
            into.ids.push_back(ids[id]);
    }
    completeRows = count + more.completeRows;
    count += more.count;
    consumed = more.consumed;
}

TableImage::TableImage(TableDescription description) : m_description(std::move(description))
{
    for (qsizetype c = 0; c < m_description.columns.size(); ++c)
        if (m_description.columns[c].type == ColumnType::DateTime) {
            m_orderColumn = static_cast<int>(c);
            break;
        }
    reset();
}

TableImage::Rows TableImage::emptyRows() const
{
    Rows rows;
    rows.columns.resize(static_cast<std::size_t>(m_description.columns.size()));
    for (qsizetype c = 0; c < m_description.columns.size(); ++c)
        rows.columns[static_cast<std::size_t>(c)].type = m_description.columns[c].type;
    return rows;
}

void TableImage::reset()
{
    m_rows = emptyRows();
    m_order.clear();
    m_nullRows = 0;
    m_orderDirty = false;
    m_size = -1;
    m_modifiedNs = 0;
    m_head.clear();
    m_tail.clear();
}

bool TableImage::refresh(const QString& path, QString* error)
{
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        if (error)
            *error = QStringLiteral("table file %1 cannot be read").arg(m_description.fileName);
        reset();
        return false;
    }
    const qint64 size = info.st_size;
    const qint64 modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    if (m_size >= 0 && size == m_size && modified == m_modifiedNs)
        return true;
    // The image still describes the start of the file when its first bytes and the bytes just before the end of
    // its last complete line are unchanged: the file has only grown (or was rewritten with the same bytes).
    const qint64 consumed = m_rows.consumed;
    const bool grew = m_size >= 0 && size >= consumed && bytesAt(fd.get(), 0, m_head.size()) == m_head &&
                      bytesAt(fd.get(), consumed - m_tail.size(), m_tail.size()) == m_tail;
    if (grew) {
        m_rows.dropFrom(m_rows.completeRows);
        if (!m_order.empty())
            m_orderDirty = true;
        else
            m_nullRows = std::min(m_nullRows, m_rows.count);
    } else {
        reset();
    }
    const qsizetype firstNew = m_rows.count;
    read(fd.get(), m_rows.consumed, size);
    orderNewRows(firstNew);
    m_size = size;
    m_modifiedNs = modified;
    const qint64 probe = std::min(m_rows.consumed, ProbeBytes);
    m_head = bytesAt(fd.get(), 0, probe);
    m_tail = bytesAt(fd.get(), m_rows.consumed - probe, probe);
    return true;
}

// A large range is parsed in two halves at once, split at a line end; the second half's rows then follow the
// first's.
bool TableImage::read(int fd, qint64 from, qint64 to)
{
    constexpr qint64 SplitFrom = 8 << 20;
    if (to - from >= SplitFrom) {
        const qint64 middle = from + (to - from) / 2;
        const QByteArray window = bytesAt(fd, middle, 1 << 16);
        const qsizetype newline = window.indexOf('\n');
        if (newline >= 0) {
            const qint64 split = middle + newline + 1;
            Rows second = emptyRows();
            second.consumed = split;
            std::thread worker([&] { readRange(fd, split, to, to, m_dates, second); });
            // The first half keeps room for both, so appending the second copies only that.
            readRange(fd, from, split, to, m_dates, m_rows);
            worker.join();
            m_rows.append(std::move(second));
            return true;
        }
    }
    readRange(fd, from, to, to, m_dates, m_rows);
    return true;
}

// Reads [from, to) in chunks, so a large file never sits in memory whole.
void TableImage::readRange(int fd, qint64 from, qint64 to, qint64 reserveTo, const DateMatcher& dates, Rows& rows)
{
    std::size_t capacity = static_cast<std::size_t>(std::min<qint64>(to - from, ChunkBytes)) + 1;
    ReadBuffer buffer(capacity);
    std::size_t carried = 0;
    qint64 offset = from;
    bool reserved = false;
    while (offset < to) {
        if (capacity - carried < ChunkBytes / 2 && carried >= capacity / 2) { // one line longer than a chunk
            capacity *= 2;
            ReadBuffer larger(capacity);
            std::memcpy(larger.get(), buffer.get(), carried);
            swap(buffer, larger);
        }
        const qint64 want = std::min<qint64>(to - offset, static_cast<qint64>(capacity - carried - 1));
        const qint64 got = preadFully(fd, buffer.get() + carried, want, offset);
        if (got <= 0)
            break; // the file was cut meanwhile: what was read stands
        offset += got;
        char* const begin = buffer.get();
        char* const end = begin + carried + got;
        const auto* last = static_cast<const char*>(::memrchr(begin, '\n', static_cast<std::size_t>(end - begin)));
        const char* line = begin;
        if (last) {
            // Every line up to `last` ends with '\n', and a terminator after them stops any scan that would run
            // past a line without one.
            const char saved = *end;
            *end = '\0';
            const qsizetype rowsBefore = rows.count;
            while (line <= last)
                line = rows.appendLine(line, dates);
            *end = saved;
            if (!reserved && offset < to) {
                // Growing the columns row by row would copy them over and over; the first chunk tells the rate.
                const double perByte = static_cast<double>(rows.count - rowsBefore) / static_cast<double>(line - begin);
                rows.reserve(rows.count +
                             static_cast<qsizetype>(perByte * static_cast<double>(reserveTo - offset) * 1.05) + 16);
                reserved = true;
            }
            rows.consumed += line - begin;
            rows.completeRows = rows.count;
        }
        carried = static_cast<std::size_t>(end - line);
        std::memmove(buffer.get(), line, carried);
    }
    if (carried > 0)
        rows.appendPartial(buffer.get(), buffer.get() + carried, dates);
}

// Keeps the order cheap for the usual log, which is written in time order: new rows that continue it need no
// work at all; anything else (a clock set back, a line that is no date) sorts the rows once.
void TableImage::orderNewRows(qsizetype firstNew)
{
    if (m_orderColumn < 0)
        return;
    const auto& keys = m_rows.columns[static_cast<std::size_t>(m_orderColumn)].numbers;
    const qsizetype count = m_rows.count;
    if (m_order.empty() && !m_orderDirty) {
        qsizetype row = firstNew;
        DateKey last = firstNew > 0 ? keys[static_cast<std::size_t>(firstNew - 1)] : NullKey;
        qsizetype nulls = m_nullRows;
        for (; row < count; ++row) {
            const DateKey key = keys[static_cast<std::size_t>(row)];
            if (key == NullKey) {
                if (last != NullKey)
                    break;
                ++nulls;
            } else if (key < last) {
                break;
            } else {
                last = key;
            }
        }
        if (row == count) {
            m_nullRows = nulls;
            return;
        }
    } else if (!m_orderDirty && appendsToOrder(firstNew)) {
        return;
    }
    m_order.resize(static_cast<std::size_t>(count));
    for (qsizetype row = 0; row < count; ++row)
        m_order[static_cast<std::size_t>(row)] = static_cast<quint32>(row);
    // NullKey is the smallest key, so nulls come first as in an ascending sort.
    std::stable_sort(m_order.begin(), m_order.end(), [&keys](quint32 a, quint32 b) { return keys[a] < keys[b]; });
    m_nullRows = std::count(keys.begin(), keys.end(), NullKey);
    m_orderDirty = false;
}

bool TableImage::appendsToOrder(qsizetype firstNew)
{
    const auto& keys = m_rows.columns[static_cast<std::size_t>(m_orderColumn)].numbers;
    DateKey last = m_order.empty() ? NullKey : keys[m_order.back()];
    for (qsizetype row = firstNew; row < m_rows.count; ++row) {
        const DateKey key = keys[static_cast<std::size_t>(row)];
        if (key == NullKey || key < last)
            return false;
        last = key;
    }
    for (qsizetype row = firstNew; row < m_rows.count; ++row)
        m_order.push_back(static_cast<quint32>(row));
    return true;
}

qsizetype TableImage::lowerBound(const char* text, qsizetype length, bool after) const
{
    qsizetype low = m_nullRows;
    qsizetype high = m_rows.count;
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        const int c = compareStored(number(m_orderColumn, rowAt(middle)), text, length);
        if (c < 0 || (after && c == 0))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace TextSql
