#include "monitor/Settings.h"

#include "TestEnvironment.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class SettingsTest : public ProgramFolderTest {};

} // namespace

TEST_F(SettingsTest, MissingKeysGiveTheReadersDefaults)
{
    Settings settings;
    EXPECT_EQ(settings.text(Keys::PingValues), QStringLiteral("200;400;600;800;1000;1200;1500;2000;3000"));
    EXPECT_EQ(settings.text(Keys::PingBackValues), QStringLiteral("1500;3000"));
    EXPECT_EQ(settings.integer(Keys::TimeOut), 10);
    EXPECT_EQ(settings.integer(Keys::OnceTime), 5);
    EXPECT_EQ(settings.text(Keys::Template), QStringLiteral("@HOST@:\r\nPing time - @PING@"));
    EXPECT_EQ(settings.textForOptions(Keys::Template), QStringLiteral("@HOST@:\r\nPing time = @PING@ ms at @TIME@."));
    EXPECT_EQ(settings.integer(Keys::AutoLog), 0);
    EXPECT_EQ(settings.textForOptions(Keys::AutoLog), QStringLiteral("1"));
    EXPECT_EQ(settings.text(Keys::GatewayURL), QString());

    settings.setText(Keys::PingValues, QStringLiteral("1;2;3;4;5;6;7;8;901"));
    EXPECT_EQ(settings.text(Keys::PingBackValues), QStringLiteral("450;901"));
    settings.setText(Keys::AutoLog, QStringLiteral("0"));
    EXPECT_EQ(settings.textForOptions(Keys::AutoLog), QStringLiteral("0"));
}

TEST_F(SettingsTest, ValuesPersistUnderTheirSectionAndKeyInAnOwnerOnlyFile)
{
    {
        Settings settings;
        settings.setText(Keys::ICQPass, QStringLiteral("s3cret"));
        settings.setText(Keys::Template, QStringLiteral("@HOST@:\r\nslow"));
        settings.setInteger(Keys::TimeOut, 25);
    }
    Settings again;
    EXPECT_EQ(again.text(Keys::ICQPass), QStringLiteral("s3cret"));
    EXPECT_EQ(again.text(Keys::Template), QStringLiteral("@HOST@:\r\nslow"));
    EXPECT_EQ(again.integer(Keys::TimeOut), 25);
    EXPECT_EQ(QFileInfo(again.fileName()).absoluteFilePath(), QFileInfo(env.settingsFile()).absoluteFilePath());
    EXPECT_EQ(QFile::permissions(env.settingsFile()),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    const QByteArray stored = readFileOrFail(env.settingsFile());
    EXPECT_TRUE(stored.contains("[SMS]"));
    EXPECT_TRUE(stored.contains("[Load]"));
    EXPECT_TRUE(stored.contains("TimeOut=25"));
}

TEST_F(SettingsTest, NonNumericNumbersAreReportedNotTakenAsZero)
{
    Settings settings;
    for (const char* junk : {"abc", "", "12abc", "1e999"}) {
        settings.setText(Keys::AutoPing, QLatin1String(junk));
        QString why;
        EXPECT_EQ(settings.integer(Keys::AutoPing, &why), std::nullopt) << junk;
        EXPECT_TRUE(why.contains(QStringLiteral("AutoPing"))) << why.toStdString();
    }
    settings.setText(Keys::AutoPing, QStringLiteral(" 1 "));
    EXPECT_EQ(settings.integer(Keys::AutoPing), 1);
    settings.setText(Keys::AutoPing, QStringLiteral("2.6"));
    EXPECT_EQ(settings.integer(Keys::AutoPing), 3);
}
