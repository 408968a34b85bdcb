#pragma once

#include <QDateTime>
#include <QString>

#include <map>
#include <memory>

struct sqlite3;

namespace TextSql {

class TableImage;

// The table images of one folder by upper-cased file name.
using TableImages = std::map<QString, std::unique_ptr<TableImage>>;

// Makes the images queryable on db: a virtual table module that scans an image in the order of its date column
// and answers comparisons on that column by binary search, and the dialect's Format(date, code) function. The
// images must outlive db.
bool installTableModule(sqlite3* db, TableImages* images, QString* error);
// Declares the image under its file name; dropTable must run before the image is replaced or destroyed.
bool createTable(sqlite3* db, const QString& fileName, QString* error);
void dropTable(sqlite3* db, const QString& fileName);

// The classic date codes: y/yy/yyyy, q, m/mm/mmm/mmmm (month, or minute right after an hour), d/dd/ddd/dddd,
// h/hh, n/nn, s/ss, AM/PM and am/pm, and the named forms "General Date", "Short Date", "Long Time".
QString formatDate(const QDateTime& moment, const QString& code);

} // namespace TextSql
