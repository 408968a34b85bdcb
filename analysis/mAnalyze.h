#pragma once

#include "platform/TextSql.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

class QComboBox;
class QWidget;

// Reads the ping logs back through the text-file SQL data source: a log is copied into the work folder
// "Analyze" as ALL.TXT (the main log) or CONVERT.TXT (a host's log) and queried there, never opened in place,
// so the monitor can go on appending while a copy is read.
namespace mAnalyze {

inline const QString AllTable = QStringLiteral("ALL.TXT");
inline const QString ConvertTable = QStringLiteral("CONVERT.TXT");

QString programName(); // the executable's base name
QString mainLogPath(); // program folder + "/" + program name + ".log"
QString workFolder();  // program folder + "/Analyze"
QString connectionString();

// "ALL.TXT" when the path holds the program name + ".log" (case-sensitive), else "CONVERT.TXT".
QString tableFor(const QString& logPath);
// The query text for a table and the two bound texts as passed.
QString logQueryText(const QString& table, const QString& dateFrom, const QString& dateTo);

// Writes the column description of both tables into the work folder when it is missing or differs.
bool ensureColumnDescription(QString* error = nullptr);
// Copies a log over its work copy; a copy that is a prefix of the log is only extended.
bool copyLog(const QString& logPath, const QString& table, QString* error = nullptr);

// "Main Log", then one upper-cased entry per file of `files` (names matching *.log) other than the main log.
void FillLogList(QComboBox* list, const QStringList& files);
// The log an entry of the list names; other entries find their file without regard to case.
QString logPathForEntry(int index, const QString& text);

// The rows of a period, ordered by Data, or null. Messages go to `parent` through the shell's message boxes.
std::unique_ptr<TextSql::RecordSet> OpenLogQuery(const QString& fileName, const QString& dateFrom,
                                                 const QString& dateTo, QWidget* parent = nullptr);
// Row count and first and last Data of a log; true when it holds a row. Outputs stay as passed where the
// log gives nothing.
bool GetLogSummary(const QString& fileName, QDateTime& dateFrom, QDateTime& dateTo, qint32& count,
                   QWidget* parent = nullptr);
// "#m/d/yyyy h:n#" (no time part at midnight) for a text in the general date form; empty when it is no date.
QString SqlDateLiteral(const QString& text);

} // namespace mAnalyze
