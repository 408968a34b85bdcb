#include "analysis/settings/frmOptions.h"

#include "analysis/settings/UpDown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

template <typename T> T* named(T* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    return named(new QLabel(text, parent), QLatin1String(name));
}

// Stored templates use CR LF line ends; the editor works with LF.
QString toEditor(const QString& stored)
{
    return QString(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
QString toStored(const QString& edited)
{
    return QString(edited).replace(u'\n', QStringLiteral("\r\n"));
}

} // namespace

frmOptions::frmOptions(QWidget* parent)
    : QDialog(parent), m_tabs(named(new QTabWidget(this), QStringLiteral("TabStrip1"))),
      m_apply(named(new QPushButton(QStringLiteral("Apply"), this), QStringLiteral("cmdApply"))),
      m_onceTime(named(new QComboBox(this), QStringLiteral("cmbOnceTime")))
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));

    auto check = [this](QWidget* page, const char* name, const QString& text, const SettingKey& key) {
        auto* box = named(new QCheckBox(text, page), QLatin1String(name));
        m_checks.push_back({box, &key, QString(), false});
        const std::size_t index = m_checks.size() - 1;
        connect(box, &QCheckBox::clicked, this, [this, index] {
            // Grey is only ever shown for a stored 2; once clicked the box is ticked or clear.
            m_checks[index].box->setTristate(false);
            m_checks[index].clicked = true;
            setChanged(true);
        });
        return box;
    };
    auto line = [this](QWidget* page, const char* name, const SettingKey& key) {
        auto* field = named(new QLineEdit(page), QLatin1String(name));
        m_texts.push_back({field, &key});
        connect(field, &QLineEdit::textChanged, this, [this] {
            if (!m_loading)
                setChanged(true);
        });
        return field;
    };
    auto multi = [this](QWidget* page, const char* name, const SettingKey& key) {
        auto* field = named(new QPlainTextEdit(page), QLatin1String(name));
        field->setTabChangesFocus(true);
        field->setFixedHeight(field->fontMetrics().lineSpacing() * 3 + 12);
        m_texts.push_back({field, &key});
        connect(field, &QPlainTextEdit::textChanged, this, [this] {
            if (!m_loading)
                setChanged(true);
        });
        return field;
    };

    // The pages are painted in the button face colour, as the tab strip itself is.
    auto page = [this](int index, const QString& title) {
        auto* widget = named(new QWidget, QStringLiteral("Picture1_%1").arg(index));
        widget->setAutoFillBackground(true);
        widget->setBackgroundRole(QPalette::Button);
        m_tabs->addTab(widget, title);
        return widget;
    };

    QWidget* general = page(0, QStringLiteral("General"));
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(
        check(general, "chkAutoHide", QStringLiteral("Auto Hide into the System Tray"), Keys::AutoHide));
    generalLayout->addWidget(check(general, "chkAutoPing", QStringLiteral("Auto Ping first host"), Keys::AutoPing));
    generalLayout->addWidget(check(general, "chkLog", QStringLiteral("Auto Log Pinging hosts"), Keys::AutoLog));
    generalLayout->addWidget(check(general, "chlLogSeparate", QStringLiteral("Log into one file"), Keys::LogOne));
    generalLayout->addStretch(1);

    QWidget* sms = page(1, QStringLiteral("ICQ SMS"));
    auto* smsLayout = new QVBoxLayout(sms);
    smsLayout->addWidget(check(sms, "chkSendSMS", QStringLiteral("Send SMS by rules"), Keys::SendSMS));

    auto* rules = named(new QGroupBox(QStringLiteral("Rules"), sms), QStringLiteral("Frame1"));
    auto* rulesLayout = new QGridLayout(rules);
    rulesLayout->addWidget(label(rules, "Label1", QStringLiteral("If Ping:")), 0, 0, 1, 2);
    QLineEdit* greater = line(rules, "txtGreater", Keys::Greater);
    QLineEdit* less = line(rules, "txtLess", Keys::Less);
    for (QLineEdit* field : {greater, less}) {
        field->setFixedWidth(70);
        field->setAlignment(Qt::AlignRight);
    }
    // Thresholds step by 10 ms up to a minute, the longest interval a probe waits.
    auto* upGreater = named(new UpDown(greater, 0, 60000, 10, rules), QStringLiteral("UpDown1"));
    auto* upLess = named(new UpDown(less, 0, 60000, 10, rules), QStringLiteral("UpDown2"));
    rulesLayout->addWidget(check(rules, "chkGreater", QString(), Keys::IfGreater), 1, 0);
    rulesLayout->addWidget(label(rules, "Label6", QStringLiteral("greater than:")), 1, 1);
    rulesLayout->addWidget(greater, 1, 2);
    rulesLayout->addWidget(upGreater, 1, 3, Qt::AlignLeft);
    rulesLayout->addWidget(label(rules, "Label14", QStringLiteral("ms")), 1, 4);
    rulesLayout->addWidget(check(rules, "chkLess", QString(), Keys::IfLess), 2, 0);
    rulesLayout->addWidget(label(rules, "Label7", QStringLiteral("less than:")), 2, 1);
    rulesLayout->addWidget(less, 2, 2);
    rulesLayout->addWidget(upLess, 2, 3, Qt::AlignLeft);
    rulesLayout->addWidget(label(rules, "Label15", QStringLiteral("ms")), 2, 4);
    rulesLayout->addWidget(check(rules, "chkTimeout", QStringLiteral("request timeout:"), Keys::IfTimeout), 3, 0, 1, 3);
    rulesLayout->addWidget(label(rules, "Label11", QStringLiteral("Once time on:")), 4, 0, 1, 2);
    m_onceTime->addItems({QStringLiteral("Half hour"), QStringLiteral("Hour"), QStringLiteral("Half day"),
                          QStringLiteral("Day"), QStringLiteral("Start pinging"), QStringLiteral("Appear value!")});
    rulesLayout->addWidget(m_onceTime, 4, 2, 1, 3);
    rulesLayout->setColumnStretch(5, 1);
    connect(m_onceTime, &QComboBox::activated, this, [this] {
        m_onceTimePicked = true;
        setChanged(true);
    });
    smsLayout->addWidget(rules);

    auto* account = new QGridLayout;
    QFont phoneFont(QStringLiteral("Arial"));
    auto row = [&](int at, const char* labelName, const QString& caption, QWidget* field, QLabel* hint = nullptr) {
        account->addWidget(label(sms, labelName, caption), at, 0);
        account->addWidget(field, at, 1);
        if (hint)
            account->addWidget(hint, at, 2);
    };
    row(0, "Label2", QStringLiteral("ICQ UIN#"), line(sms, "txtICQUIN", Keys::ICQUIN));
    QLineEdit* password = line(sms, "txtPassword", Keys::ICQPass);
    password->setEchoMode(QLineEdit::Password);
    row(1, "Label3", QStringLiteral("Password:"), password);
    QLineEdit* country = line(sms, "txtCountryCode", Keys::CountryCode);
    QLineEdit* mobile = line(sms, "txtMobileNumber", Keys::MobileNumber);
    QLineEdit* carrier = line(sms, "txtCarrier", Keys::Carrier);
    for (QLineEdit* field : {country, mobile, carrier})
        field->setFont(phoneFont);
    row(2, "Label4", QStringLiteral("Country Code:"), country, label(sms, "Label8", QStringLiteral("+7 for Russia")));
    row(3, "Label5", QStringLiteral("Mobile Number:"), mobile, label(sms, "Label9", QStringLiteral("e.g. 9161234567")));
    row(4, "lblCarrier", QStringLiteral("Carrier:"), carrier, label(sms, "Label10", QStringLiteral("e.g. MTS")));
    QLineEdit* gateway = line(sms, "txtGatewayURL", Keys::GatewayURL);
    gateway->setPlaceholderText(QStringLiteral("https://gateway.example/send"));
    account->addWidget(label(sms, "lblGatewayURL", QStringLiteral("Gateway URL:")), 5, 0);
    account->addWidget(gateway, 5, 1, 1, 2);
    account->addWidget(label(sms, "Label12", QStringLiteral("SMS template:")), 6, 0, Qt::AlignTop);
    account->addWidget(multi(sms, "txtTemplate", Keys::Template), 6, 1, 1, 2);
    account->addWidget(label(sms, "Label13", QStringLiteral("request timeout:")), 7, 0, Qt::AlignTop);
    account->addWidget(multi(sms, "TimeoutTemplate", Keys::TimeoutTemplate), 7, 1, 1, 2);
    account->setColumnStretch(1, 1);
    smsLayout->addLayout(account);
    smsLayout->addStretch(1);

    auto* ok = named(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("cmdOK"));
    auto* cancel = named(new QPushButton(QStringLiteral("Cancel"), this), QStringLiteral("cmdCancel"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (m_changed)
            apply();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_apply, &QPushButton::clicked, this, &frmOptions::apply);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(m_apply);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_tabs, 1);
    outer->addLayout(buttons);

    load();
}

void frmOptions::setChanged(bool changed)
{
    m_changed = changed;
    m_apply->setEnabled(changed);
}

void frmOptions::load()
{
    m_loading = true;
    for (CheckField& check : m_checks) {
        check.stored = m_settings.textForOptions(*check.key);
        check.clicked = false;
        const int value = Settings::toInteger(check.stored).value_or(0);
        check.box->setTristate(value == 2);
        check.box->setCheckState(value == 2 ? Qt::PartiallyChecked : value == 1 ? Qt::Checked : Qt::Unchecked);
    }
    for (const TextField& text : m_texts) {
        const QString stored = m_settings.textForOptions(*text.key);
        if (auto* edit = qobject_cast<QLineEdit*>(text.field))
            edit->setText(stored);
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(text.field))
            plain->setPlainText(toEditor(stored));
    }
    m_storedOnceTime = m_settings.textForOptions(Keys::OnceTime);
    m_onceTimePicked = false;
    const int once = Settings::toInteger(m_storedOnceTime).value_or(-1);
    m_onceTime->setCurrentIndex(once >= 0 && once < m_onceTime->count() ? once : -1);
    m_loading = false;
    setChanged(false);
}

void frmOptions::apply()
{
    auto checkText = [this](const SettingKey& key) {
        for (const CheckField& check : m_checks) {
            if (check.key != &key)
                continue;
            if (!check.clicked)
                return check.stored;
            return QString::number(check.box->checkState() == Qt::Checked ? 1 : 0);
        }
        return QString();
    };
    auto fieldText = [this](const SettingKey& key) {
        for (const TextField& text : m_texts) {
            if (text.key != &key)
                continue;
            if (auto* edit = qobject_cast<QLineEdit*>(text.field))
                return edit->text();
            if (auto* plain = qobject_cast<QPlainTextEdit*>(text.field))
                return toStored(plain->toPlainText());
        }
        return QString();
    };

    for (const SettingKey* key : {&Keys::AutoHide, &Keys::AutoPing, &Keys::AutoLog, &Keys::LogOne, &Keys::SendSMS})
        m_settings.setText(*key, checkText(*key));
    for (const SettingKey* key : {&Keys::ICQUIN, &Keys::ICQPass, &Keys::MobileNumber, &Keys::CountryCode,
                                  &Keys::Carrier, &Keys::Greater, &Keys::Less})
        m_settings.setText(*key, fieldText(*key));
    for (const SettingKey* key : {&Keys::IfGreater, &Keys::IfLess, &Keys::IfTimeout})
        m_settings.setText(*key, checkText(*key));
    const bool keepOnce = !m_onceTimePicked || m_onceTime->currentIndex() < 0;
    m_settings.setText(Keys::OnceTime, keepOnce ? m_storedOnceTime : QString::number(m_onceTime->currentIndex()));
    for (const SettingKey* key : {&Keys::Template, &Keys::TimeoutTemplate, &Keys::GatewayURL})
        m_settings.setText(*key, fieldText(*key));

    // What was written is now the stored state: later applies compare against it.
    for (CheckField& check : m_checks) {
        check.stored = checkText(*check.key);
        check.clicked = false;
    }
    m_storedOnceTime = m_settings.text(Keys::OnceTime);
    m_onceTimePicked = false;

    setChanged(false);
    emit settingsSaved();
}
