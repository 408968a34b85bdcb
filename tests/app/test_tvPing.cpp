#include "TestEnvironment.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

QProcessEnvironment programEnvironment(const ScopedProgramEnvironment& env)
{
    QProcessEnvironment vars = QProcessEnvironment::systemEnvironment();
    vars.insert(QStringLiteral("TAVRIK_HOME"), env.programFolder());
    vars.insert(QStringLiteral("XDG_CONFIG_HOME"), env.configFolder());
    vars.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return vars;
}

} // namespace

TEST(tvPing, PrintsItsVersionAndHelp)
{
    QProcess program;
    program.start(QStringLiteral(TVPING_PATH), {QStringLiteral("--version")});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().contains("0.1.0"));

    program.start(QStringLiteral(TVPING_PATH), {QStringLiteral("--help")});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().contains("--version"));
}

TEST(tvPing, StartsAndCreatesItsHostListInTheProgramFolder)
{
    ScopedProgramEnvironment env;
    QProcess program;
    program.setProcessEnvironment(programEnvironment(env));
    program.start(QStringLiteral(TVPING_PATH));
    ASSERT_TRUE(program.waitForStarted(10000));
    EXPECT_FALSE(program.waitForFinished(1500)) << program.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(env.programFolder() + QStringLiteral("/hosts.ini")));
    EXPECT_TRUE(QFile::exists(env.settingsFile()));
    program.terminate();
    program.waitForFinished(5000);
}

TEST(tvPing, WithoutADisplayItSaysHowToStart)
{
    ScopedProgramEnvironment env;
    QProcessEnvironment vars = programEnvironment(env);
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        vars.remove(QLatin1String(name));
    QProcess program;
    program.setProcessEnvironment(vars);
    program.start(QStringLiteral(TVPING_PATH));
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_NE(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardError().contains("xvfb-run"));
}
