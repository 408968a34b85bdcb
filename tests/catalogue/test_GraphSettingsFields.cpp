#include "CatalogueSupport.h"

#include "analysis/settings/ColorDialog.h"
#include "analysis/settings/InputBox.h"
#include "analysis/settings/f_GraphSettings.h"
#include "monitor/ColourScale.h"
#include "monitor/PingGraph.h"
#include "monitor/ui/PingGraphView.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

class GraphSettingsFieldsTest : public catalogue::PingWindowTest {
protected:
    GraphSettingsFieldsTest()
    {
        ColorDialog::setScripted(true);
        InputBox::setScripted(true);
    }
    ~GraphSettingsFieldsTest() override
    {
        ColorDialog::setScripted(false);
        InputBox::setScripted(false);
    }
    static QLineEdit* field(f_GraphSettings& window, const QString& name)
    {
        auto* edit = window.findChild<QLineEdit*>(name);
        EXPECT_NE(edit, nullptr) << name.toStdString();
        return edit;
    }
    static void pressOk(f_GraphSettings& window)
    {
        window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    }
    // What the live graph makes of the stored settings; refused layouts give their reason.
    std::optional<QString> layOutStoredSettings(PingGraph& graph)
    {
        Settings settings;
        PingGraph::Layout layout;
        layout.backLevel = settings.integer(Keys::PingBackLevel).value_or(-1);
        layout.scale = settings.integer(Keys::PingScale).value_or(-1);
        layout.backValues = settings.text(Keys::PingBackValues);
        layout.backColors = settings.text(Keys::PingBackColors);
        return graph.build(layout);
    }
};

} // namespace

TEST_F(GraphSettingsFieldsTest, JunkNegativeAndHugeLevelsAreSavedAsLevelsTheGraphUses)
{
    f_GraphSettings window;
    const QStringList typed{QStringLiteral("1e999"),        QStringLiteral("nan"),    QStringLiteral("-0"),
                            QStringLiteral("\u0661\u0662"), QStringLiteral("12.6"),   QStringLiteral("1e4"),
                            QStringLiteral("32767.6"),      QStringLiteral("-40000"), QStringLiteral(" 7 ")};
    for (int i = 0; i < typed.size(); ++i)
        field(window, QStringLiteral("txtVal_%1").arg(i))->setText(typed[i]);
    pressOk(window);
    ASSERT_TRUE(window.SettingsSaved);
    Settings settings;
    EXPECT_EQ(settings.text(Keys::PingValues), QStringLiteral("0;0;0;0;13;10000;32767;0;7"));
    QString why;
    const std::optional<ColourScale> scale =
        ColourScale::fromLists(settings.text(Keys::PingValues), settings.text(Keys::PingColors), &why);
    EXPECT_TRUE(scale) << why.toStdString();
}

TEST_F(GraphSettingsFieldsTest, BandCountsThatAreNoCountLeaveTheGridAsItWas)
{
    f_GraphSettings window;
    QLineEdit* count = field(window, QStringLiteral("txtNBack"));
    auto* grid = window.findChild<QTableWidget*>(QStringLiteral("GRD"));
    for (const QString& text :
         {QStringLiteral("0"), QStringLiteral("-3"), QStringLiteral("21"), QStringLiteral("99999999999"),
          QStringLiteral("abc"), QStringLiteral("\u0663"), QString()}) {
        count->setText(text);
        emit count->textEdited(count->text());
        EXPECT_EQ(grid->rowCount(), 2) << text.toStdString();
    }
    pressOk(window);
    EXPECT_EQ(Settings().text(Keys::PingBackLevel), QStringLiteral("2"));
    PingGraph graph;
    EXPECT_EQ(layOutStoredSettings(graph), std::nullopt);
    EXPECT_EQ(graph.bands().size(), 2);
}

TEST_F(GraphSettingsFieldsTest, WhateverIsTypedIntoTheBandsTheLiveGraphIsLaidOutWithoutAnError)
{
    auto window = open();
    answerDialog = [](QDialog& dialog) {
        auto* settings = qobject_cast<f_GraphSettings*>(&dialog);
        if (!settings)
            return int(QDialog::Rejected);
        QLineEdit* count = field(*settings, QStringLiteral("txtNBack"));
        count->setText(QStringLiteral("6"));
        emit count->textEdited(count->text());
        const QStringList limits{QStringLiteral("12.5"), QStringLiteral("-100"), QStringLiteral("1e300"),
                                 QStringLiteral("abc"), QStringLiteral("\u0665\u0660")};
        for (int row = 1; row <= limits.size(); ++row) {
            InputBox::setNextAnswer(limits[row - 1]);
            settings->cellDoubleClicked(row, 1);
        }
        pressOk(*settings); // the sixth band was added and never given a limit
        return int(QDialog::Accepted);
    };
    emit window->findChild<PingGraphView*>()->doubleClicked();
    EXPECT_EQ(shownTexts(), QStringList()) << "the settings the window saved must lay out";
    const QList<PingGraph::Box>& bands = window->graph().bands();
    ASSERT_EQ(bands.size(), 6);
    const PingGraph::Design& design = window->graph().design();
    for (const PingGraph::Box& band : bands) {
        EXPECT_GE(band.height, 0);
        EXPECT_GE(band.top, design.lnY.y2 - 1e-9);
        EXPECT_LE(band.top + band.height, design.lnX.y1 + 1e-9);
    }
    EXPECT_TRUE(bands[0].visible);
    EXPECT_DOUBLE_EQ(bands[0].height, 26) << "12.5 ms is read as 13 ms, two twips each";
    EXPECT_FALSE(bands[1].visible);
    EXPECT_TRUE(bands[2].visible);
    EXPECT_DOUBLE_EQ(bands[2].top, design.lnY.y2);
    for (int i = 3; i < 6; ++i)
        EXPECT_FALSE(bands[i].visible) << i;
}
