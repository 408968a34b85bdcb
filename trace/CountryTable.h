#pragma once

#include <QList>
#include <QString>

// Country names by top-level domain code, as country.txt lists them: one entry a line, the code, ";", the name;
// further fields are ignored and lines without ";" are skipped. Codes in the file are compared exactly with the
// upper-cased lookup code, so the file writes them in upper case.
class CountryTable {
public:
    // A longer line is cut to this many bytes; the rest of it is skipped, so the lines after it still parse.
    static constexpr qint64 MaxLineBytes = 1024;

    // Appends the entries of the file at `path`; false when it cannot be opened.
    bool load(const QString& path);
    // Parses one line (without or with its line end) and appends its entry, if it has one.
    void addLine(QString line);

    // The name of the last entry whose code equals `code` upper-cased, or empty.
    QString lookup(const QString& code) const;

    bool isEmpty() const { return m_codes.isEmpty(); }
    qsizetype size() const { return m_codes.size(); }
    void clear();

private:
    QList<QString> m_codes;
    QList<QString> m_names;
};

// Program-wide lookup over country.txt in the program folder: empty for an empty code, a code longer than two
// characters, a missing file or an unknown code. The table is read the first time a lookup finds it empty and then
// stays loaded for the run.
QString CountryName(const QString& code);

// The table behind CountryName, so a test can empty it and make the next lookup read its own file.
CountryTable& programCountryTable();
