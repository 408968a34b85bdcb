#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Private-profile INI files with the classic semantics: sections and keys compare without case, the first of
// duplicate sections or keys wins, comments and lines we do not understand survive every write, and a write replaces
// the file atomically so a crash never leaves half a file behind.
//
// The parsed file is cached and re-read only when the file on disk changed, so reading a long list key by key stays
// cheap.
class ProfileIni {
public:
    explicit ProfileIni(QString path = {});

    QString path() const { return m_path; }
    void setPath(const QString& path);

    // Nothing when the file, the section or the key is missing.
    std::optional<QString> value(const QString& section, const QString& key) const;
    // The section's entries as "key=value" texts in file order; nothing when the section is missing.
    std::optional<QStringList> sectionEntries(const QString& section) const;

    // Writes fail (false, with a reason) when the file cannot be replaced, or when a name or value would break the
    // file's structure (a line break, a key holding "=", a section name holding "]").
    bool writeValue(const QString& section, const QString& key, const QString& value, QString* error = nullptr);
    bool deleteKey(const QString& section, const QString& key, QString* error = nullptr);
    bool deleteSection(const QString& section, QString* error = nullptr);
    // Puts `entries` in place of the section's entries in one write (comments in the section stay).
    bool replaceSection(const QString& section, const QList<std::pair<QString, QString>>& entries,
                        QString* error = nullptr);

    // Files larger than this are read only this far and never rewritten, so junk cannot eat memory or be truncated.
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;

private:
    struct Line {
        enum class Kind { Section, Entry, Other };
        Kind kind = Kind::Other;
        QString text; // as it stands in the file
        QString name; // section name, or key of an entry
        QString value;
    };
    struct Identity {
        bool exists = false;
        qint64 size = 0, inode = 0, mtimeNs = 0;
        bool operator==(const Identity&) const = default;
    };

    bool refresh() const; // re-parses when the file changed; false when it does not exist
    Identity identity() const;
    void parse(const QByteArray& bytes) const;
    bool save(QString* error);
    int findSection(const QString& section) const;     // index of the header line, or -1
    int sectionEnd(int header) const;                  // index after the section's last line
    int findKey(int header, const QString& key) const; // index of the entry line, or -1
    int insertionPoint(int header) const;              // after the last entry, before trailing blank lines
    int ensureSection(const QString& section);         // index of the header line, appended when missing
    static Line entryLine(const QString& key, const QString& value);
    static bool validName(const QString& section, const QString& key, const QString& value, QString* error);

    QString m_path;
    mutable QList<Line> m_lines;
    mutable QString m_lineEnd = QStringLiteral("\r\n");
    mutable bool m_latin1 = false;
    mutable bool m_truncated = false;
    mutable Identity m_identity;
    mutable bool m_loaded = false;
};
