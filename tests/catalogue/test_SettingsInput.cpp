#include "CatalogueSupport.h"

#include "monitor/ColourScale.h"
#include "monitor/IntervalBox.h"

#include <QLineEdit>

#include <gtest/gtest.h>

using catalogue::PingWindowTest;

namespace {

class SettingsInputTest : public PingWindowTest {
protected:
    // The live graph and the cycle as a first start without any settings lays them out.
    void expectDefaultGraphAndScale(f_Ping& window, const std::string& what)
    {
        EXPECT_EQ(window.graph().topValue(), 1200) << what;
        ASSERT_EQ(window.graph().bands().size(), 2) << what;
        EXPECT_EQ(window.graph().bands()[0].colour, -2147483624) << what;
        EXPECT_EQ(window.cycle().colourScale().levels(), ColourScale::defaults().levels()) << what;
        EXPECT_EQ(window.cycle().colourScale().colours(), ColourScale::defaults().colours()) << what;
    }
};

struct NumberKey {
    const SettingKey* key;
    const char* reportedAt; // where the start-up reports it; nullptr when a default is taken silently
};

} // namespace

TEST_F(SettingsInputTest, EveryNumberKeyHoldingTextIsReportedOrDefaultedAndTheWindowStartsSane)
{
    const NumberKey keys[] = {
        {&Keys::PingBackLevel, "f_Ping.Form_Load on line 9"},
        {&Keys::PingScale, "f_Ping.Form_Load on line 9"},
        {&Keys::AutoPing, "f_Ping.Form_Load on line 10"},
        {&Keys::AutoHide, "f_Ping.Form_Load on line 10"},
        {&Keys::AutoLog, "f_Ping.Form_Load on line 10"},
        {&Keys::TimeOut, nullptr},
        {&Keys::LogOne, nullptr},
        {&Keys::SendSMS, "f_Ping.InitSMS on line 1"},
        {&Keys::IfGreater, "f_Ping.InitSMS on line 1"},
        {&Keys::Greater, "f_Ping.InitSMS on line 1"},
        {&Keys::IfLess, "f_Ping.InitSMS on line 1"},
        {&Keys::Less, "f_Ping.InitSMS on line 1"},
        {&Keys::IfTimeout, "f_Ping.InitSMS on line 1"},
        {&Keys::OnceTime, "f_Ping.InitSMS on line 1"},
    };
    Settings settings;
    for (const NumberKey& entry : keys) {
        for (const char* junk : {"junk", "12abc", ""}) {
            const std::string what = std::string(entry.key->key) + "=\"" + junk + '"';
            settings.setText(*entry.key, QLatin1String(junk));
            auto window = open();
            const QStringList shown = shownTexts();
            if (entry.reportedAt) {
                ASSERT_EQ(shown.size(), 1) << what;
                EXPECT_TRUE(shown[0].startsWith(QStringLiteral("13:Type mismatch"))) << shown[0].toStdString();
                EXPECT_TRUE(shown[0].contains(QLatin1String(entry.key->key))) << shown[0].toStdString();
                EXPECT_TRUE(shown[0].endsWith(QLatin1String(entry.reportedAt))) << shown[0].toStdString();
            } else {
                EXPECT_EQ(shown, QStringList()) << what;
            }
            // "12abc" in TimeOut is 12 s, as the box itself reads a leading number; other texts give the default.
            const int seconds = entry.key == &Keys::TimeOut ? IntervalBox::storedSeconds(QLatin1String(junk)) : 10;
            EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("txtTime"))->text(), QString::number(seconds))
                << what;
            EXPECT_FALSE(window->cycle().isRunning()) << what;
            EXPECT_FALSE(window->startsHidden()) << what;
            EXPECT_EQ(window->alerts().config().rulesOn, 0) << what;
            EXPECT_EQ(window->alerts().gateway(), nullptr) << what;
            EXPECT_EQ(window->log().currentLogPath(QStringLiteral("h")), window->log().mainLogPath()) << what;
            expectDefaultGraphAndScale(*window, what);
            window->close();
            settings.remove(*entry.key);
            shownTexts();
        }
    }
}

TEST_F(SettingsInputTest, LevelListsTooShortTooLongOrJunkGiveTheDefaultScaleOrTheirFirstNine)
{
    Settings settings;
    const std::pair<const SettingKey*, const char*> refused[] = {
        {&Keys::PingValues, ""},
        {&Keys::PingValues, "a;b;c;d;e;f;g;h;i"},
        {&Keys::PingValues, "1;2;3;4;5;6;7;8;99999"}, // beyond the 16-bit levels
        {&Keys::PingColors, "255;255"},
        {&Keys::PingColors, "1;2;3;4;5;6;7;8;x"},
        {&Keys::PingColors, "1;2;3;4;5;6;7;8;99999999999"},
    };
    for (const auto& [key, text] : refused) {
        const std::string what = std::string(key->key) + "=\"" + text + '"';
        settings.setText(*key, QLatin1String(text));
        auto window = open();
        const QStringList shown = shownTexts();
        ASSERT_EQ(shown.size(), 1) << what;
        EXPECT_TRUE(shown[0].contains(QLatin1String(key->key))) << shown[0].toStdString();
        EXPECT_TRUE(shown[0].endsWith(QStringLiteral("f_Ping.Form_Load on line 2"))) << shown[0].toStdString();
        expectDefaultGraphAndScale(*window, what);
        window->close();
        settings.remove(*key);
    }

    settings.setText(Keys::PingValues, QStringLiteral("10;20;30;40;50;60;70;80;90;100;110;junk"));
    settings.setText(Keys::PingColors, QStringLiteral("1;2;3;4;5;6;7;8;9;10;;"));
    auto window = open();
    EXPECT_EQ(shownTexts(), QStringList());
    EXPECT_EQ(window->cycle().colourScale().levels(), (std::array<int, 9>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
    EXPECT_EQ(window->cycle().colourScale().colours()[8], 9u);
}

TEST_F(SettingsInputTest, BandListsTooShortTooLongOrJunkGiveTheDefaultBandsOrTheirFirstEntries)
{
    Settings settings;
    const std::pair<const SettingKey*, const char*> refused[] = {
        {&Keys::PingBackValues, "1500"},
        {&Keys::PingBackValues, "low;high"},
        {&Keys::PingBackColors, "255"},
        {&Keys::PingBackColors, "red;blue"},
    };
    for (const auto& [key, text] : refused) {
        const std::string what = std::string(key->key) + "=\"" + text + '"';
        settings.setText(*key, QLatin1String(text));
        auto window = open();
        const QStringList shown = shownTexts();
        ASSERT_EQ(shown.size(), 1) << what;
        EXPECT_TRUE(shown[0].startsWith(QStringLiteral("9:Subscript out of range"))) << shown[0].toStdString();
        EXPECT_TRUE(shown[0].endsWith(QStringLiteral("f_Ping.Form_Load on line 9"))) << shown[0].toStdString();
        expectDefaultGraphAndScale(*window, what);
        window->close();
        settings.remove(*key);
    }

    // More entries than bands: the first ones count. Limits out of order give empty bands, never negative ones, and
    // a limit far beyond the scale reaches its top.
    settings.setText(Keys::PingBackValues, QStringLiteral("300;-50;9e99;100;junk"));
    settings.setText(Keys::PingBackColors, QStringLiteral("1;2;3;4;5;6"));
    settings.setInteger(Keys::PingBackLevel, 4);
    auto window = open();
    EXPECT_EQ(shownTexts(), QStringList());
    const QList<PingGraph::Box>& bands = window->graph().bands();
    ASSERT_EQ(bands.size(), 4);
    EXPECT_TRUE(bands[0].visible);
    EXPECT_FALSE(bands[1].visible);
    EXPECT_TRUE(bands[2].visible);
    EXPECT_FALSE(bands[3].visible);
    for (const PingGraph::Box& band : bands) {
        EXPECT_GE(band.height, 0);
        EXPECT_LE(band.top + band.height, window->graph().design().lnX.y1 + 1e-9);
    }
    EXPECT_EQ(bands[3].colour, 4);
}
