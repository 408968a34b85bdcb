#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Cleaning and field parsing of a whois answer: pure functions over the text, so they are tested and measured
// without a socket. `zone` is the answer format the client chose with the server.
namespace WhoisAnswer {

// Servers of these zones answer with "key: value" lines and "%" comments; all others with free text.
bool isDatabaseZone(int zone);

struct Parsed {
    QString text;      // the cleaned answer
    QStringList lines; // database answers: the answer split into lines, comments and blank lines included
    QString country;
    QString networkName;
    QString organization;
    QString description;
    std::optional<QString> address;           // set when the answer names one (a person block, a registrant)
    std::optional<QString> registrantCountry; // registrar answers: the last line of the registrant block
};

// Removes every CR, ends every line with CR LF; then cuts the legal preamble of a registrar answer, or drops the
// comment and blank lines of a database answer.
QString clean(const QString& raw, int zone, QStringList* lines = nullptr);
Parsed parse(const QString& raw, int zone);

// The values of the lines that contain `key`, joined by one blank. The key is expected at the start of the line:
// the value is the rest of the line after the key's length, trimmed.
QString joinedValues(const QStringList& lines, QStringView key);
// The lines after the first of a block up to the first empty line, trimmed and joined by CR LF; empty when the
// block has fewer than three lines.
QString BlockAfterFirstLine(const QString& text);

} // namespace WhoisAnswer
