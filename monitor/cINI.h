#pragma once

#include "platform/ProfileIni.h"

#include <QString>
#include <QStringList>
#include <utility>

// The INI class of the program: one file, addressed by section and key.
class cINI {
public:
    QString FilePath() const { return m_ini.path(); }
    void setFilePath(const QString& path) { m_ini.setPath(path); }

    // The value as a 255-character buffer would hold it: cut at the first NUL and at 254 characters; empty when the
    // key is missing.
    QString GetVal(const QString& section, const QString& key) const;
    // "key=value" entries each followed by one NUL, as a 2048-character buffer holds them; empty when the section is
    // missing or empty.
    QString GetSection(const QString& section) const;

    // The writes report whether the file was replaced; a failed write leaves the old file as it was.
    bool CreateSection(const QString& section, const QString& key, const QString& value);
    bool DeleteSection(const QString& section);
    bool DeleteKey(const QString& section, const QString& key);
    bool DeleteValue(const QString& section, const QString& key);

    // The section's keys and values, each value cut as GetVal cuts it, read with one pass over the file.
    QList<std::pair<QString, QString>> SectionValues(const QString& section) const;
    // Replaces the whole section with `entries` in one atomic write, so a crash never leaves it half written.
    bool ReplaceSection(const QString& section, const QList<std::pair<QString, QString>>& entries);

    static constexpr int ValueBufferChars = 255;
    static constexpr int SectionBufferChars = 2048;

private:
    ProfileIni m_ini;
};
