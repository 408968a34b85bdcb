#include "analysis/mAnalyze.h"

#include "analysis/BusyCursor.h"
#include "platform/FileDescriptor.h"
#include "platform/GeneralDate.h"
#include "platform/ProgramFolder.h"
#include "shell/MessageBox.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace mAnalyze {

namespace {

const QString NoData = QStringLiteral("No data for analyzes!");

QString notFound(const QString& fileName)
{
    return fileName + QStringLiteral("\r\nFile not found!");
}

void yieldTwice()
{
    // Other window events, the monitor's timer among them, run while a query is opened.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

bool readAt(int fd, char* buffer, std::size_t size, off_t offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buffer + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool sameBytes(int a, int b, off_t offset, std::size_t size)
{
    std::vector<char> left(size), right(size);
    return readAt(a, left.data(), size, offset) && readAt(b, right.data(), size, offset) && left == right;
}

// Copies [offset, end) of `in` to the same place in `out`; copy_file_range keeps the bytes in the kernel, with a
// plain read/write loop where the file systems cannot do that (EXDEV, EINVAL, ENOSYS).
bool copyRange(int in, int out, off_t offset, off_t end)
{
    off_t inPos = offset;
    off_t outPos = offset;
    while (inPos < end) {
        const ssize_t n = ::copy_file_range(in, &inPos, out, &outPos, static_cast<std::size_t>(end - inPos), 0);
        if (n > 0)
            continue;
        if (n == 0)
            return true; // the log ended earlier than its size said (it was cut meanwhile)
        if (errno == EINTR)
            continue;
        break;
    }
    std::vector<char> buffer(1 << 20);
    while (inPos < end) {
        const ssize_t n = ::pread(in, buffer.data(),
                                  std::min<std::size_t>(buffer.size(), static_cast<std::size_t>(end - inPos)), inPos);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        ssize_t written = 0;
        while (written < n) {
            const ssize_t w =
                ::pwrite(out, buffer.data() + written, static_cast<std::size_t>(n - written), outPos + written);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            written += w;
        }
        inPos += n;
        outPos += n;
    }
    return true;
}

} // namespace

QString programName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString mainLogPath()
{
    return programFolder() + u'/' + programName() + QStringLiteral(".log");
}

QString workFolder()
{
    return programFolder() + QStringLiteral("/Analyze");
}

QString connectionString()
{
    return QStringLiteral("Provider=MSDASQL.1;DRIVER={Microsoft Text Driver (*.txt; *.csv)};DBQ=") +
           QDir::toNativeSeparators(workFolder()) + u';';
}

QString tableFor(const QString& logPath)
{
    return logPath.contains(programName() + QStringLiteral(".log"), Qt::CaseSensitive) ? AllTable : ConvertTable;
}

QString logQueryText(const QString& table, const QString& dateFrom, const QString& dateTo)
{
    QString sql = QStringLiteral("select ");
    if (table == AllTable)
        sql += QStringLiteral("Site,");
    sql += QStringLiteral(" Data,Ping,Format(Data,'yyyy') as [Year],");
    sql += QStringLiteral("Format(Data,'mm') as [Month],Format(Data,'dd') as [Day],");
    sql += QStringLiteral("Format(Data,'h') as [Hour],Format(Data,'n') as [Minute],Format(Data,'s') as [Second] ");
    sql += QStringLiteral("from [") + table + u']';
    if (!dateFrom.isEmpty() && !dateTo.isEmpty())
        sql += QStringLiteral(" WHERE Data Between ") + SqlDateLiteral(dateFrom) + QStringLiteral(" AND ") +
               SqlDateLiteral(dateTo);
    else if (!dateFrom.isEmpty())
        sql += QStringLiteral(" WHERE Data >= ") + SqlDateLiteral(dateFrom);
    else if (!dateTo.isEmpty())
        sql += QStringLiteral(" WHERE Data <= ") + SqlDateLiteral(dateTo);
    sql += QStringLiteral(" ORDER BY Data");
    return sql;
}

bool ensureColumnDescription(QString* error)
{
    using TextSql::Column;
    using TextSql::ColumnType;
    const QString text = TextSql::describe(
        {{AllTable,
          {Column{QStringLiteral("Data"), ColumnType::DateTime}, Column{QStringLiteral("Site"), ColumnType::Text},
           Column{QStringLiteral("Ping"), ColumnType::Integer}}},
         {ConvertTable,
          {Column{QStringLiteral("Data"), ColumnType::DateTime},
           Column{QStringLiteral("Ping"), ColumnType::Integer}}}});
    const QString path = workFolder() + u'/' + TextSql::ColumnsFileName;
    const QByteArray bytes = text.toUtf8();
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == bytes)
        return true;
    current.close();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool copyLog(const QString& logPath, const QString& table, QString* error)
{
    const QByteArray source = QFile::encodeName(logPath);
    const QByteArray target = QFile::encodeName(workFolder() + u'/' + table);
    const FileDescriptor in(::open(source.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        if (error)
            *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    const FileDescriptor out(::open(target.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    struct stat inStat {};
    struct stat outStat {};
    if (out.get() < 0 || ::fstat(in.get(), &inStat) != 0 || ::fstat(out.get(), &outStat) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    const off_t size = inStat.st_size;
    off_t from = 0;
    // A log only ever grows while it is being written: when the earlier copy still matches the log at its
    // start and its end, only the new tail is copied. A log that was cleared or replaced is copied in full.
    if (outStat.st_size > 0 && outStat.st_size <= size) {
        const std::size_t probe = static_cast<std::size_t>(std::min<off_t>(outStat.st_size, 4096));
        if (sameBytes(in.get(), out.get(), 0, probe) &&
            sameBytes(in.get(), out.get(), outStat.st_size - static_cast<off_t>(probe), probe))
            from = outStat.st_size;
    }
    if (from == 0 && ::ftruncate(out.get(), 0) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    if (from == size)
        return true; // unchanged: leaving the copy untouched keeps its time stamp, so its image is known current
    if (!copyRange(in.get(), out.get(), from, size) || ::ftruncate(out.get(), size) != 0) {
        if (error)
            *error = QStringLiteral("copy of %1 failed").arg(logPath);
        return false;
    }
    return true;
}

void FillLogList(QComboBox* list, const QStringList& files)
{
    list->clear();
    list->addItem(QStringLiteral("Main Log"));
    const QString main = programName().toUpper();
    for (const QString& file : files) {
        QString entry = file.toUpper();
        entry.remove(QStringLiteral(".LOG"));
        if (entry != main)
            list->addItem(entry);
    }
    list->setCurrentIndex(0);
}

QString logPathForEntry(int index, const QString& text)
{
    if (index == 0)
        return mainLogPath();
    const QString wanted = text + QStringLiteral(".log");
    const QDir folder(programFolder());
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return folder.filePath(name);
    return programFolder() + u'/' + wanted;
}

std::unique_ptr<TextSql::RecordSet> OpenLogQuery(const QString& fileName, const QString& dateFrom,
                                                 const QString& dateTo, QWidget* parent)
{
    QDir().mkpath(workFolder());
    QString table;
    if (!fileName.isEmpty()) {
        if (!QFileInfo(fileName).isFile()) {
            MessageBox::show(parent, MessageBox::Icon::Exclamation, notFound(fileName));
            return nullptr;
        }
        table = tableFor(fileName);
        if (!copyLog(fileName, table))
            return nullptr;
    } else if (QFileInfo(mainLogPath()).isFile()) {
        table = AllTable;
        if (!copyLog(mainLogPath(), table))
            return nullptr;
    } else {
        table = ConvertTable;
    }
    if (!QFileInfo::exists(workFolder() + u'/' + ConvertTable) && !QFileInfo::exists(workFolder() + u'/' + AllTable)) {
        MessageBox::show(parent, MessageBox::Icon::Exclamation, NoData);
        return nullptr;
    }
    if (!ensureColumnDescription())
        return nullptr;
    TextSql::Connection connection;
    if (!connection.Open(connectionString()))
        return nullptr;
    auto records = connection.Execute(logQueryText(table, dateFrom, dateTo));
    yieldTwice();
    return records;
}

bool GetLogSummary(const QString& fileName, QDateTime& dateFrom, QDateTime& dateTo, qint32& count, QWidget* parent)
{
    const BusyCursor busy;
    bool result = false;
    QDir().mkpath(workFolder());
    if (fileName.isEmpty()) {
        MessageBox::show(parent, MessageBox::Icon::Exclamation, NoData);
        return false;
    }
    if (!QFileInfo(fileName).isFile()) {
        MessageBox::show(parent, MessageBox::Icon::Exclamation, notFound(fileName));
        return false;
    }
    const QString table = tableFor(fileName);
    if (!copyLog(fileName, table) || !ensureColumnDescription())
        return false;
    TextSql::Connection connection;
    if (!connection.Open(connectionString()))
        return false;
    auto counted = connection.Execute(QStringLiteral("SELECT Count(*) as CNT FROM [") + table + u']');
    yieldTwice();
    if (!counted || counted->EOF_())
        return false;
    count = static_cast<qint32>(counted->Fields(QStringLiteral("CNT")).toLongLong());
    if (count > 0)
        result = true;
    auto range =
        connection.Execute(QStringLiteral("select Min(Data) as DateFrom, Max(Data) as DateTo from [") + table + u']');
    yieldTwice();
    if (!range || range->EOF_())
        return result;
    const QVariant first = range->Fields(QStringLiteral("DateFrom"));
    const QVariant last = range->Fields(QStringLiteral("DateTo"));
    if (!first.isNull() && first.toDateTime().isValid())
        dateFrom = first.toDateTime();
    if (!last.isNull() && last.toDateTime().isValid())
        dateTo = last.toDateTime();
    return result;
}

QString SqlDateLiteral(const QString& text)
{
    const QDateTime moment = GeneralDate::fromText(text);
    if (!moment.isValid())
        return {};
    QString literal =
        QStringLiteral("#%1/%2/%3").arg(moment.date().month()).arg(moment.date().day()).arg(moment.date().year());
    if (moment.time() != QTime(0, 0))
        literal += QStringLiteral(" %1:%2").arg(moment.time().hour()).arg(moment.time().minute());
    return literal + u'#';
}

} // namespace mAnalyze
