#include "analysis/settings/frmOptions.h"

#include "TestEnvironment.h"
#include "analysis/settings/UpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const SettingKey* const WrittenKeys[] = {
    &Keys::AutoHide, &Keys::AutoPing, &Keys::AutoLog,         &Keys::LogOne,      &Keys::SendSMS,
    &Keys::ICQUIN,   &Keys::ICQPass,  &Keys::MobileNumber,    &Keys::CountryCode, &Keys::Carrier,
    &Keys::Greater,  &Keys::Less,     &Keys::IfGreater,       &Keys::IfLess,      &Keys::IfTimeout,
    &Keys::OnceTime, &Keys::Template, &Keys::TimeoutTemplate, &Keys::GatewayURL};

class OptionsTest : public ProgramFolderTest {
protected:
    void open()
    {
        dialog = std::make_unique<frmOptions>();
        saved = std::make_unique<QSignalSpy>(dialog.get(), &frmOptions::settingsSaved);
    }
    template <typename T> T* child(const char* name)
    {
        T* widget = dialog->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QCheckBox* check(const char* name) { return child<QCheckBox>(name); }
    QLineEdit* line(const char* name) { return child<QLineEdit>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    int storedKeys() const
    {
        int count = 0;
        for (const SettingKey* key : WrittenKeys)
            count += settings.contains(*key) ? 1 : 0;
        return count;
    }

    Settings settings;
    std::unique_ptr<frmOptions> dialog;
    std::unique_ptr<QSignalSpy> saved;
};

} // namespace

TEST_F(OptionsTest, FirstUseShowsTheDialogDefaults)
{
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Options"));
    auto* tabs = child<QTabWidget>("TabStrip1");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("ICQ SMS"));
    EXPECT_EQ(tabs->widget(0)->objectName(), QStringLiteral("Picture1_0"));
    EXPECT_EQ(tabs->widget(1)->objectName(), QStringLiteral("Picture1_1"));

    EXPECT_EQ(check("chkAutoHide")->checkState(), Qt::Unchecked);
    EXPECT_EQ(check("chkAutoPing")->checkState(), Qt::Unchecked);
    EXPECT_EQ(check("chkLog")->checkState(), Qt::Checked);
    EXPECT_EQ(check("chlLogSeparate")->checkState(), Qt::Checked);
    EXPECT_EQ(check("chkSendSMS")->checkState(), Qt::Unchecked);
    EXPECT_EQ(check("chkGreater")->checkState(), Qt::Checked);
    EXPECT_EQ(line("txtGreater")->text(), QStringLiteral("100"));
    EXPECT_EQ(check("chkLess")->checkState(), Qt::Unchecked);
    EXPECT_EQ(line("txtLess")->text(), QStringLiteral("100"));
    EXPECT_EQ(check("chkTimeout")->checkState(), Qt::Unchecked);
    EXPECT_EQ(child<QComboBox>("cmbOnceTime")->currentText(), QStringLiteral("Appear value!"));
    EXPECT_EQ(child<QComboBox>("cmbOnceTime")->count(), 6);
    EXPECT_EQ(child<QPlainTextEdit>("txtTemplate")->toPlainText(),
              QStringLiteral("@HOST@:\nPing time = @PING@ ms at @TIME@."));
    EXPECT_EQ(child<QPlainTextEdit>("TimeoutTemplate")->toPlainText(),
              QStringLiteral("@HOST@:\nRequest timeout at @TIME@."));
    for (const char* name :
         {"txtICQUIN", "txtPassword", "txtCountryCode", "txtMobileNumber", "txtCarrier", "txtGatewayURL"})
        EXPECT_EQ(line(name)->text(), QString()) << name;
    EXPECT_EQ(line("txtPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(line("txtMobileNumber")->font().family(), QStringLiteral("Arial"));
    EXPECT_FALSE(dialog->Changed());
    EXPECT_FALSE(button("cmdApply")->isEnabled());
}

TEST_F(OptionsTest, StoredValuesAreShown)
{
    settings.setText(Keys::AutoLog, QStringLiteral("0"));
    settings.setText(Keys::SendSMS, QStringLiteral("1"));
    settings.setText(Keys::OnceTime, QStringLiteral("2"));
    settings.setText(Keys::Greater, QStringLiteral("350"));
    settings.setText(Keys::Template, QStringLiteral("a\r\nb"));
    settings.setText(Keys::GatewayURL, QStringLiteral("http://127.0.0.1:9/sms"));
    open();
    EXPECT_EQ(check("chkLog")->checkState(), Qt::Unchecked);
    EXPECT_EQ(check("chkSendSMS")->checkState(), Qt::Checked);
    EXPECT_EQ(child<QComboBox>("cmbOnceTime")->currentText(), QStringLiteral("Half day"));
    EXPECT_EQ(line("txtGreater")->text(), QStringLiteral("350"));
    EXPECT_EQ(child<QPlainTextEdit>("txtTemplate")->toPlainText(), QStringLiteral("a\nb"));
    EXPECT_EQ(line("txtGatewayURL")->text(), QStringLiteral("http://127.0.0.1:9/sms"));
    EXPECT_FALSE(button("cmdApply")->isEnabled());
}

TEST_F(OptionsTest, OkWithoutChangesWritesNothingAndDoesNotReloadAlerts)
{
    open();
    button("cmdOK")->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(storedKeys(), 0);
    EXPECT_EQ(saved->size(), 0);
}

TEST_F(OptionsTest, EveryKindOfEditEnablesApply)
{
    open();
    check("chkAutoPing")->click();
    EXPECT_TRUE(button("cmdApply")->isEnabled());
    dialog->setChanged(false);
    line("txtCarrier")->setText(QStringLiteral("x"));
    EXPECT_TRUE(dialog->Changed());
    dialog->setChanged(false);
    child<QPlainTextEdit>("TimeoutTemplate")->setPlainText(QStringLiteral("t"));
    EXPECT_TRUE(dialog->Changed());
    dialog->setChanged(false);
    emit child<QComboBox>("cmbOnceTime")->activated(1);
    EXPECT_TRUE(dialog->Changed());
    dialog->setChanged(false);
    child<UpDown>("UpDown1")->stepUp();
    EXPECT_EQ(line("txtGreater")->text(), QStringLiteral("110"));
    EXPECT_TRUE(button("cmdApply")->isEnabled());
    dialog->setChanged(false);
    EXPECT_FALSE(button("cmdApply")->isEnabled());
}

TEST_F(OptionsTest, ChangingThePasswordAndOkSavesIt)
{
    open();
    QTest::keyClicks(line("txtPassword"), QStringLiteral("s3cret "));
    EXPECT_TRUE(button("cmdApply")->isEnabled());
    button("cmdOK")->click();
    EXPECT_EQ(settings.text(Keys::ICQPass), QStringLiteral("s3cret ")); // as typed, blanks included
    EXPECT_EQ(saved->size(), 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(OptionsTest, ApplyWritesEveryKeyInItsStoredForm)
{
    open();
    check("chkAutoHide")->click();
    check("chkLog")->click();
    check("chkTimeout")->click();
    line("txtLess")->setText(QString()); // saved as typed, even empty
    line("txtGatewayURL")->setText(QStringLiteral("http://127.0.0.1:8080/send"));
    auto* once = child<QComboBox>("cmbOnceTime");
    once->setCurrentIndex(1);
    emit once->activated(1);
    child<QPlainTextEdit>("txtTemplate")->setPlainText(QStringLiteral("@HOST@:\n@PING@"));
    button("cmdApply")->click();

    EXPECT_EQ(storedKeys(), int(std::size(WrittenKeys)));
    EXPECT_EQ(settings.text(Keys::AutoHide), QStringLiteral("1"));
    EXPECT_EQ(settings.text(Keys::AutoPing), QStringLiteral("0"));
    EXPECT_EQ(settings.text(Keys::AutoLog), QStringLiteral("0"));
    EXPECT_EQ(settings.text(Keys::LogOne), QStringLiteral("1"));
    EXPECT_EQ(settings.text(Keys::IfGreater), QStringLiteral("1"));
    EXPECT_EQ(settings.text(Keys::IfTimeout), QStringLiteral("1"));
    EXPECT_EQ(settings.text(Keys::Less), QString());
    EXPECT_EQ(settings.text(Keys::Greater), QStringLiteral("100"));
    EXPECT_EQ(settings.text(Keys::OnceTime), QStringLiteral("1"));
    EXPECT_EQ(settings.text(Keys::Template), QStringLiteral("@HOST@:\r\n@PING@"));
    EXPECT_EQ(settings.text(Keys::TimeoutTemplate), QStringLiteral("@HOST@:\r\nRequest timeout at @TIME@."));
    EXPECT_EQ(settings.text(Keys::GatewayURL), QStringLiteral("http://127.0.0.1:8080/send"));
    EXPECT_EQ(saved->size(), 1);
    EXPECT_FALSE(button("cmdApply")->isEnabled());
}

TEST_F(OptionsTest, ApplyThenCancelKeepsTheAppliedValues)
{
    open();
    line("txtGreater")->setText(QStringLiteral("250"));
    button("cmdApply")->click();
    line("txtGreater")->setText(QStringLiteral("999"));
    button("cmdCancel")->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(settings.text(Keys::Greater), QStringLiteral("250"));
    EXPECT_EQ(saved->size(), 1);
}

TEST_F(OptionsTest, CancelWritesNothing)
{
    open();
    check("chkSendSMS")->click();
    line("txtICQUIN")->setText(QStringLiteral("12345"));
    button("cmdCancel")->click();
    EXPECT_EQ(storedKeys(), 0);
    EXPECT_EQ(saved->size(), 0);
}

TEST_F(OptionsTest, StoredTwoShowsGreyAndIsWrittenBackUnchanged)
{
    settings.setText(Keys::AutoPing, QStringLiteral("2"));
    open();
    EXPECT_EQ(check("chkAutoPing")->checkState(), Qt::PartiallyChecked);
    line("txtCarrier")->setText(QStringLiteral("beeline"));
    button("cmdApply")->click();
    EXPECT_EQ(settings.text(Keys::AutoPing), QStringLiteral("2"));
    // A click on the grey box is a real choice and is stored as one.
    check("chkAutoPing")->click();
    EXPECT_NE(check("chkAutoPing")->checkState(), Qt::PartiallyChecked);
    button("cmdApply")->click();
    EXPECT_EQ(settings.text(Keys::AutoPing),
              check("chkAutoPing")->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

TEST_F(OptionsTest, ValuesTheDialogCannotShowSurviveAnApply)
{
    settings.setText(Keys::OnceTime, QStringLiteral("9"));
    settings.setText(Keys::IfLess, QStringLiteral("7"));
    open();
    EXPECT_EQ(child<QComboBox>("cmbOnceTime")->currentIndex(), -1);
    line("txtCountryCode")->setText(QStringLiteral("+7"));
    button("cmdOK")->click();
    EXPECT_EQ(settings.text(Keys::OnceTime), QStringLiteral("9"));
    EXPECT_EQ(settings.text(Keys::IfLess), QStringLiteral("7"));
    EXPECT_EQ(settings.text(Keys::CountryCode), QStringLiteral("+7"));
}

TEST_F(OptionsTest, ThresholdSteppingStaysInRange)
{
    settings.setText(Keys::Less, QStringLiteral("5"));
    open();
    auto* upDown = child<UpDown>("UpDown2");
    upDown->stepDown();
    EXPECT_EQ(line("txtLess")->text(), QStringLiteral("0"));
    line("txtLess")->setText(QStringLiteral("abc"));
    upDown->stepUp();
    EXPECT_EQ(line("txtLess")->text(), QStringLiteral("10"));
}
