#include "analysis/settings/f_GraphSettings.h"

#include "TestEnvironment.h"
#include "analysis/settings/ColorDialog.h"
#include "analysis/settings/ColorSwatch.h"
#include "analysis/settings/InputBox.h"
#include "analysis/settings/UpDown.h"
#include "analysis/settings/tvColorTab.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

const QStringList DefaultValues = {"200", "400", "600", "800", "1000", "1200", "1500", "2000", "3000"};
const QStringList DefaultColors = {"65280",    "49152",    "32768",   "8421376", "8388608",
                                   "16711680", "16744576", "8388736", "12583104"};

class GraphSettingsTest : public ProgramFolderTest {
protected:
    GraphSettingsTest()
    {
        ColorDialog::setScripted(true);
        InputBox::setScripted(true);
    }
    ~GraphSettingsTest() override
    {
        ColorDialog::setScripted(false);
        InputBox::setScripted(false);
    }

    template <typename T> T* child(const QString& name)
    {
        T* widget = window->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    void open() { window = std::make_unique<f_GraphSettings>(); }
    QLineEdit* txtVal(int i) { return child<QLineEdit>(QStringLiteral("txtVal_%1").arg(i)); }
    ColorSwatch* shpColor(int i) { return child<ColorSwatch>(QStringLiteral("shpColor_%1").arg(i)); }
    QTableWidget* grid() { return child<QTableWidget>(QStringLiteral("GRD")); }
    void ok() { child<QPushButton>(QStringLiteral("Command1"))->click(); }
    void cancel() { child<QPushButton>(QStringLiteral("Command2"))->click(); }
    qint64 bandColor(int band) { return grid()->item(band - 1, 2)->data(Qt::UserRole).toLongLong(); }

    Settings settings;
    std::unique_ptr<f_GraphSettings> window;
};

} // namespace

TEST_F(GraphSettingsTest, FirstUseShowsTheDefaultScaleAndBands)
{
    open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Ping Graph settings"));
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(txtVal(i)->text(), DefaultValues[i]) << i;
        EXPECT_EQ(shpColor(i)->value(), DefaultColors[i].toLongLong()) << i;
        EXPECT_EQ(child<QLabel>(QStringLiteral("Label4_%1").arg(i))->text(), QString::number(i + 1));
    }
    EXPECT_EQ(child<QComboBox>(QStringLiteral("cmbScale"))->currentText(), QStringLiteral("100%"));
    EXPECT_EQ(child<QComboBox>(QStringLiteral("cmbScale"))->count(), 9);
    EXPECT_EQ(child<QLineEdit>(QStringLiteral("txtNBack"))->text(), QStringLiteral("2"));
    ASSERT_EQ(grid()->rowCount(), 2);
    EXPECT_EQ(grid()->horizontalHeaderItem(1)->text(), QStringLiteral("Level,ms"));
    EXPECT_EQ(grid()->horizontalHeaderItem(2)->text(), QStringLiteral("Color"));
    EXPECT_EQ(grid()->item(0, 0)->text(), QStringLiteral("1"));
    EXPECT_EQ(grid()->item(1, 0)->text(), QStringLiteral("2"));
    EXPECT_EQ(grid()->item(0, 1)->text(), QStringLiteral("1500"));
    EXPECT_EQ(grid()->item(1, 1)->text(), QStringLiteral("3000"));
    EXPECT_EQ(bandColor(1), -2147483624LL);
    EXPECT_EQ(bandColor(2), 16777152LL);
    EXPECT_EQ(grid()->item(0, 2)->background().color(), grid()->palette().color(QPalette::ToolTipBase));
    EXPECT_EQ(grid()->item(1, 2)->background().color(), QColor(192, 255, 255));
    EXPECT_EQ(grid()->currentRow(), 0);
    EXPECT_EQ(grid()->currentColumn(), 1);
    EXPECT_TRUE(child<tvColorTab>(QStringLiteral("tvColorTab1"))->isHidden());
}

TEST_F(GraphSettingsTest, OkWithoutChangesWritesTheSameTextsNormalised)
{
    settings.setText(Keys::PingValues, QStringLiteral("0200;400;600;800;1000;1200;1500;2000;3000"));
    open();
    EXPECT_EQ(txtVal(0)->text(), QStringLiteral("200"));
    ok();
    EXPECT_TRUE(window->SettingsSaved);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_EQ(settings.text(Keys::PingValues), DefaultValues.join(u';'));
    EXPECT_EQ(settings.text(Keys::PingColors), DefaultColors.join(u';'));
    EXPECT_EQ(settings.text(Keys::PingScale), QStringLiteral("100"));
    EXPECT_EQ(settings.text(Keys::PingBackLevel), QStringLiteral("2"));
    EXPECT_EQ(settings.text(Keys::PingBackValues), QStringLiteral("1500;3000"));
    EXPECT_EQ(settings.text(Keys::PingBackColors), QStringLiteral("-2147483624;16777152"));
    EXPECT_EQ(window->levelValues(), DefaultValues);
}

TEST_F(GraphSettingsTest, BandDefaultFollowsTheTopLevel)
{
    settings.setText(Keys::PingValues, QStringLiteral("200;400;600;800;1000;1200;1500;2000;3001"));
    open();
    EXPECT_EQ(grid()->item(0, 1)->text(), QStringLiteral("1500"));
    EXPECT_EQ(grid()->item(1, 1)->text(), QStringLiteral("3001"));
}

TEST_F(GraphSettingsTest, SteppingTheBandCountAddsEmptyRowsThatOkSaves)
{
    open();
    auto* upDown = child<UpDown>(QStringLiteral("UpDown1"));
    auto* up = upDown->findChild<QToolButton*>(QStringLiteral("up"));
    ASSERT_NE(up, nullptr);
    up->click();
    up->click();
    EXPECT_EQ(child<QLineEdit>(QStringLiteral("txtNBack"))->text(), QStringLiteral("4"));
    ASSERT_EQ(grid()->rowCount(), 4);
    EXPECT_EQ(grid()->item(2, 0)->text(), QStringLiteral("3"));
    EXPECT_EQ(grid()->item(3, 0)->text(), QStringLiteral("4"));
    EXPECT_EQ(grid()->item(2, 1)->text(), QString());
    EXPECT_EQ(grid()->item(1, 1)->text(), QStringLiteral("3000")); // kept rows keep their values
    ok();
    EXPECT_EQ(settings.text(Keys::PingBackLevel), QStringLiteral("4"));
    EXPECT_EQ(settings.text(Keys::PingBackValues), QStringLiteral("1500;3000;;"));
    const QStringList colors = settings.text(Keys::PingBackColors).split(u';');
    ASSERT_EQ(colors.size(), 4);
    EXPECT_EQ(colors[1], QStringLiteral("16777152"));
    EXPECT_EQ(colors[2], QString::number(f_GraphSettings::GridBackground));
}

TEST_F(GraphSettingsTest, SteppingDownRemovesRowsAndStopsAtOneBand)
{
    open();
    auto* upDown = child<UpDown>(QStringLiteral("UpDown1"));
    upDown->stepDown();
    upDown->stepDown();
    EXPECT_EQ(child<QLineEdit>(QStringLiteral("txtNBack"))->text(), QStringLiteral("1"));
    EXPECT_EQ(grid()->rowCount(), 1);
    ok();
    EXPECT_EQ(settings.text(Keys::PingBackLevel), QStringLiteral("1"));
    EXPECT_EQ(settings.text(Keys::PingBackValues), QStringLiteral("1500"));
    EXPECT_EQ(settings.text(Keys::PingBackColors), QStringLiteral("-2147483624"));
}

TEST_F(GraphSettingsTest, LeavingALevelReplacesTextTheGraphCannotUse)
{
    open();
    QLineEdit* field = txtVal(3);
    field->setText(QStringLiteral("-5"));
    emit field->editingFinished();
    EXPECT_EQ(field->text(), QStringLiteral("0"));
    field->setText(QStringLiteral("abc"));
    emit field->editingFinished();
    EXPECT_EQ(field->text(), QStringLiteral("0"));
    field->setText(QStringLiteral("850"));
    emit field->editingFinished();
    EXPECT_EQ(field->text(), QStringLiteral("850"));
    field->setText(QStringLiteral("99999")); // beyond what the graph's 16-bit levels hold
    emit field->editingFinished();
    EXPECT_EQ(field->text(), QStringLiteral("32767"));
}

TEST_F(GraphSettingsTest, OkChecksAFieldThatWasNeverLeft)
{
    open();
    txtVal(0)->setText(QStringLiteral("-5"));
    txtVal(1)->setText(QStringLiteral("450"));
    ok();
    EXPECT_EQ(settings.text(Keys::PingValues), QStringLiteral("0;450;600;800;1000;1200;1500;2000;3000"));
}

TEST_F(GraphSettingsTest, CancelSavesNothing)
{
    open();
    txtVal(0)->setText(QStringLiteral("250"));
    child<QComboBox>(QStringLiteral("cmbScale"))->setCurrentIndex(0);
    child<UpDown>(QStringLiteral("UpDown1"))->stepUp();
    cancel();
    EXPECT_FALSE(window->SettingsSaved);
    EXPECT_EQ(window->result(), QDialog::Rejected);
    for (const SettingKey* key : {&Keys::PingValues, &Keys::PingColors, &Keys::PingScale, &Keys::PingBackLevel,
                                  &Keys::PingBackValues, &Keys::PingBackColors})
        EXPECT_FALSE(settings.contains(*key)) << key->key;
}

TEST_F(GraphSettingsTest, ScaleIsSavedAsTheItemValue)
{
    settings.setText(Keys::PingScale, QStringLiteral("300"));
    open();
    auto* scale = child<QComboBox>(QStringLiteral("cmbScale"));
    EXPECT_EQ(scale->currentText(), QStringLiteral("300%"));
    scale->setCurrentIndex(scale->findText(QStringLiteral("25%")));
    ok();
    EXPECT_EQ(settings.text(Keys::PingScale), QStringLiteral("25"));
}

TEST_F(GraphSettingsTest, AScaleNoItemOffersIsKeptRatherThanReplaced)
{
    settings.setText(Keys::PingScale, QStringLiteral("120"));
    open();
    EXPECT_EQ(child<QComboBox>(QStringLiteral("cmbScale"))->currentText(), QStringLiteral("120%"));
    ok();
    EXPECT_EQ(settings.text(Keys::PingScale), QStringLiteral("120"));
}

TEST_F(GraphSettingsTest, ShortLevelListsAreCompletedSoTheGraphAlwaysGetsNine)
{
    settings.setText(Keys::PingValues, QStringLiteral("100;300"));
    settings.setText(Keys::PingColors, QStringLiteral("255"));
    open();
    ok();
    EXPECT_EQ(settings.text(Keys::PingValues), QStringLiteral("100;300;600;800;1000;1200;1500;2000;3000"));
    EXPECT_EQ(settings.text(Keys::PingColors).split(u';').size(), 9);
    EXPECT_TRUE(settings.text(Keys::PingColors).startsWith(QStringLiteral("255;49152;")));
}

TEST_F(GraphSettingsTest, BandListsShorterThanTheCountAreSavedAsLongAsTheCount)
{
    settings.setText(Keys::PingBackLevel, QStringLiteral("3"));
    open();
    ASSERT_EQ(grid()->rowCount(), 3);
    EXPECT_EQ(grid()->item(2, 1)->text(), QString());
    ok();
    EXPECT_EQ(settings.text(Keys::PingBackValues).split(u';').size(), 3);
    EXPECT_EQ(settings.text(Keys::PingBackColors).split(u';').size(), 3);
}

TEST_F(GraphSettingsTest, TypedBandCountReshapesTheGrid)
{
    open();
    auto* count = child<QLineEdit>(QStringLiteral("txtNBack"));
    count->setText(QStringLiteral("5"));
    emit count->textEdited(count->text());
    EXPECT_EQ(grid()->rowCount(), 5);
    ok();
    EXPECT_EQ(settings.text(Keys::PingBackLevel), QStringLiteral("5"));
    EXPECT_EQ(settings.text(Keys::PingBackValues), QStringLiteral("1500;3000;;;"));
}

TEST_F(GraphSettingsTest, ColourButtonOpensTheDialogWithTheLevelColour)
{
    open();
    ColorDialog::setNextResult(0x123456u);
    child<QAbstractButton>(QStringLiteral("cmdColor_4"))->click();
    EXPECT_EQ(ColorDialog::shownCount(), 1);
    EXPECT_EQ(ColorDialog::lastTitle(), QStringLiteral("Choose a Color"));
    EXPECT_EQ(ColorDialog::lastInitial(), 8388608);
    EXPECT_EQ(shpColor(4)->value(), 0x123456);

    child<QAbstractButton>(QStringLiteral("cmdColor_4"))->click(); // no answer scripted: cancelled
    EXPECT_EQ(ColorDialog::shownCount(), 2);
    EXPECT_EQ(shpColor(4)->value(), 0x123456);
    ok();
    EXPECT_EQ(settings.text(Keys::PingColors).split(u';').at(4), QString::number(0x123456));
}

TEST_F(GraphSettingsTest, PaletteSelectionGoesToTheLevelChosenLast)
{
    open();
    child<QAbstractButton>(QStringLiteral("cmdColor_6"))->click(); // cancelled, but remembered
    auto* palette = child<tvColorTab>(QStringLiteral("tvColorTab1"));
    palette->show();
    emit palette->ColorSelected(255);
    EXPECT_EQ(shpColor(6)->value(), 255);
    EXPECT_EQ(shpColor(0)->value(), 65280);
    EXPECT_TRUE(palette->isHidden());
}

TEST_F(GraphSettingsTest, DoubleClickOnABandColourChangesItOnlyWhenChosen)
{
    open();
    window->cellDoubleClicked(1, 2); // cancelled
    EXPECT_EQ(ColorDialog::lastInitial(), -2147483624LL);
    EXPECT_EQ(bandColor(1), -2147483624LL);
    ColorDialog::setNextResult(0x0000FFu);
    window->cellDoubleClicked(2, 2);
    EXPECT_EQ(ColorDialog::lastInitial(), 16777152LL);
    EXPECT_EQ(bandColor(2), 255);
    EXPECT_EQ(grid()->item(1, 2)->background().color(), QColor(255, 0, 0));
    EXPECT_EQ(grid()->currentRow(), 1);
    EXPECT_EQ(grid()->currentColumn(), 2);
    ok();
    EXPECT_EQ(settings.text(Keys::PingBackColors), QStringLiteral("-2147483624;255"));
}

TEST_F(GraphSettingsTest, DoubleClickOnABandLimitAsksForANumber)
{
    open();
    InputBox::setNextAnswer(QStringLiteral("1750"));
    window->cellDoubleClicked(1, 1);
    EXPECT_EQ(InputBox::lastPrompt(), QStringLiteral("Input max level value in ms"));
    EXPECT_EQ(InputBox::lastTitle(), QStringLiteral("Input value"));
    EXPECT_EQ(InputBox::lastInitial(), QStringLiteral("1500"));
    EXPECT_EQ(grid()->item(0, 1)->text(), QStringLiteral("1750"));

    InputBox::setNextAnswer(QStringLiteral("lots"));
    window->cellDoubleClicked(2, 1);
    EXPECT_EQ(grid()->item(1, 1)->text(), QStringLiteral("0"));
    InputBox::setNextAnswer(QStringLiteral(" 0900 "));
    window->cellDoubleClicked(2, 1);
    EXPECT_EQ(grid()->item(1, 1)->text(), QStringLiteral("900"));
    window->cellDoubleClicked(2, 1); // Cancel gives an empty answer
    EXPECT_EQ(grid()->item(1, 1)->text(), QStringLiteral("0"));

    const int asked = InputBox::shownCount();
    window->cellDoubleClicked(1, 0); // the number column opens nothing
    EXPECT_EQ(InputBox::shownCount(), asked);
    EXPECT_EQ(ColorDialog::shownCount(), 0);
}
