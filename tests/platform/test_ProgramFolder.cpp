#include "platform/ProgramFolder.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(ProgramFolder, HomeVariableWinsAndIsCreated)
{
    ScopedProgramEnvironment env;
    const QString nested = env.programFolder() + QStringLiteral("/a/b");
    qputenv("TAVRIK_HOME", nested.toLocal8Bit());
    EXPECT_EQ(programFolderFor(QStringLiteral("/usr/bin")), nested);
    EXPECT_TRUE(QDir(nested).exists());
    EXPECT_EQ(programFile(QStringLiteral("hosts.ini")), nested + QStringLiteral("/hosts.ini"));
}

TEST(ProgramFolder, WritableBuildTreeElseTheUsersDataFolder)
{
    ScopedProgramEnvironment env;
    qunsetenv("TAVRIK_HOME");
    QTemporaryDir build;
    EXPECT_EQ(programFolderFor(build.path()), QDir(build.path()).absolutePath());

    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    // An installed executable's folder is not a program folder even when this user (root) could write there.
    const QString folder = programFolderFor(QStringLiteral("/usr/bin"));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(folder, data.path() + QStringLiteral("/Tavrik"));
    EXPECT_TRUE(QDir(folder).exists());
}
