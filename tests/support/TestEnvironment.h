#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Gives one test its own program folder (TAVRIK_HOME) and settings folder, so no test sees another's hosts.ini,
// logs or settings, and none touches the user's.
class ScopedProgramEnvironment {
public:
    ScopedProgramEnvironment();
    ~ScopedProgramEnvironment();

    QString programFolder() const { return m_home.path(); }
    QString configFolder() const { return m_config.path(); }
    QString settingsFile() const; // where the per-user settings of this environment are stored

    ScopedProgramEnvironment(const ScopedProgramEnvironment&) = delete;
    ScopedProgramEnvironment& operator=(const ScopedProgramEnvironment&) = delete;

private:
    QTemporaryDir m_home;
    QTemporaryDir m_config;
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
};

class ProgramFolderTest : public ::testing::Test {
protected:
    ScopedProgramEnvironment env;
};

// Makes a file or folder unwritable for the test's duration. Root ignores permission bits, so as root the
// immutable flag is set as well where the file system has it; active() tells whether writes will really fail.
class ScopedReadOnly {
public:
    explicit ScopedReadOnly(const QString& path);
    ~ScopedReadOnly();
    bool active() const { return m_active; }

    ScopedReadOnly(const ScopedReadOnly&) = delete;
    ScopedReadOnly& operator=(const ScopedReadOnly&) = delete;

private:
    QByteArray m_path;
    unsigned m_oldMode = 0;
    int m_oldFlags = 0;
    bool m_immutable = false;
    bool m_active = false;
};

// Writes `bytes` to `path`, replacing it; fails the test when it cannot.
void writeFileOrFail(const QString& path, const QByteArray& bytes);
QByteArray readFileOrFail(const QString& path);
