#pragma once

#include "platform/Clock.h"

#include <QString>

class Settings;

// The ping logs: every result of the cycle appended as one line to the main log or to one file per host, opening
// and closing the file for every record. The analysis window reads the files back, so the line format is fixed:
// general date, TAB, [host, TAB,] value, CR LF; a failed probe is -1.
class mMain {
public:
    // `mainLogBaseName` is the executable's name without extension: the main log is that name + ".log".
    mMain(Settings& settings, QString programFolder, QString mainLogBaseName, Clock& clock = systemClock());

    // Appends one record while logging is on. "RED" (any case) logs -1 whatever the value.
    void LogPing(const QString& host, qint16 value, const QString& colourName);
    // Appends `line` and a CR LF to `path` ("EXEName" is the main log). A failure loses the record silently; the
    // return value says whether it was written.
    bool WriteLogLine(const QString& line, const QString& path);
    void LogStart();
    void LogStop();

    bool LogStopped() const { return m_logStopped; }
    bool LogStarted() const { return m_logStarted; }

    QString mainLogPath() const;
    // The log that "Show Log" opens for the host selector's text, as the current layout chooses.
    QString currentLogPath(const QString& host) const;
    QString hostLogPath(const QString& host) const;

    // A host text made safe as a file name: "%", "/", "\", control characters, and a leading "-" or "." are written
    // as %XX, so no host text can name a file outside the program folder, and the host can be read back. A name
    // that would not fit the file system's 255 bytes (with ".log") is cut and ends in "~" and a hash of the host.
    static QString fileNameForHost(const QString& host);
    static QString hostForFileName(const QString& fileName);

    static inline const QString MainLogWord = QStringLiteral("EXEName");

private:
    bool oneLog() const;

    Settings& m_settings;
    QString m_folder;
    QString m_mainLogBaseName;
    Clock& m_clock;
    bool m_logStopped = false;
    bool m_logStarted = false;
};
