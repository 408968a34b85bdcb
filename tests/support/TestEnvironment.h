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

// Writes `bytes` to `path`, replacing it; fails the test when it cannot.
void writeFileOrFail(const QString& path, const QByteArray& bytes);
QByteArray readFileOrFail(const QString& path);
