#include "monitor/SmsAlerts.h"

#include "monitor/Settings.h"

#include "TavrikVersion.h"

#include <QPointer>

#include <exception>
#include <limits>

namespace {

// Error numbers as the window's error report shows them, the same the other start-up steps use.
constexpr int Overflow = 6, TypeMismatch = 13, CannotCreateObject = 429;

// A message sent in the same minute (hour) as the mark does not block, so the comparison is between the last
// send cut down to that unit and the mark, which is already whole.
bool sentAfterMark(const QDateTime& mark, const QDateTime& now, const QDateTime& last, bool wholeHours)
{
    if (mark > now)
        return false; // the first half of an hour, or the morning: the period has not begun
    const QTime t = last.time();
    const QDateTime cut(last.date(), QTime(t.hour(), wholeHours ? 0 : t.minute()));
    return cut > mark;
}

} // namespace

bool AlertConfig::accountComplete() const
{
    // Without an address the gateway has nowhere to post, which is as incomplete as a missing password.
    return rulesOn != 0 && mobileNumber.size() >= 3 && !carrier.isEmpty() && !countryCode.isEmpty() &&
           account.size() >= 4 && !password.isEmpty() && !gatewayUrl.isEmpty();
}

SmsAlerts::SmsAlerts(Settings& settings, Clock& clock, QObject* parent)
    : QObject(parent), m_settings(settings), m_clock(clock), m_title(QStringLiteral(TAVRIK_PRODUCT))
{
    m_factory = [](const QString& url) -> std::unique_ptr<SmsGateway> {
        return std::make_unique<HttpSmsGateway>(QUrl(url, QUrl::StrictMode));
    };
    m_timSent.setObjectName(QStringLiteral("timSent"));
    m_timSent.setParent(this);
    m_timSent.setSingleShot(true); // it disables itself when it fires
    m_timSent.setInterval(IdleIntervalMs);
    connect(&m_timSent, &QTimer::timeout, this, [this] { emit sentSignVisible(false); });
}

std::optional<ProcedureError> SmsAlerts::readConfig(AlertConfig* config) const
{
    const std::pair<const SettingKey*, qint16*> numbers[] = {
        {&Keys::SendSMS, &config->rulesOn},   {&Keys::IfGreater, &config->ifGreater},
        {&Keys::Greater, &config->greater},   {&Keys::IfLess, &config->ifLess},
        {&Keys::Less, &config->less},         {&Keys::IfTimeout, &config->ifTimeout},
        {&Keys::OnceTime, &config->onceTime},
    };
    for (const auto& [key, field] : numbers) {
        QString why;
        const std::optional<int> value = m_settings.integer(*key, &why);
        if (!value)
            return ProcedureError{TypeMismatch, why};
        if (*value < std::numeric_limits<qint16>::min() || *value > std::numeric_limits<qint16>::max()) {
            return ProcedureError{Overflow,
                                  QStringLiteral("Overflow: setting \"%1\\%2\" holds %3, beyond -32768..32767")
                                      .arg(QLatin1String(key->section), QLatin1String(key->key))
                                      .arg(*value)};
        }
        *field = static_cast<qint16>(*value);
    }
    config->threshold = m_settings.text(Keys::Template);
    config->timeout = m_settings.text(Keys::TimeoutTemplate);
    config->carrier = m_settings.text(Keys::Carrier).trimmed();
    config->countryCode = m_settings.text(Keys::CountryCode).trimmed();
    config->account = m_settings.text(Keys::ICQUIN).trimmed();
    config->mobileNumber = m_settings.text(Keys::MobileNumber).trimmed();
    config->password = m_settings.text(Keys::ICQPass).trimmed();
    config->gatewayUrl = m_settings.text(Keys::GatewayURL).trimmed();
    return std::nullopt;
}

std::optional<SmsInitError> SmsAlerts::InitSMS()
{
    // The gateway of earlier settings never outlives them: incomplete new data means no gateway at all.
    m_gateway.reset();
    m_timSent.setInterval(IdleIntervalMs);

    AlertConfig fresh;
    if (const std::optional<ProcedureError> error = readConfig(&fresh)) {
        m_config = AlertConfig{}; // rules off: a half-read set of rules must not send
        return SmsInitError{InitReadLine, *error};
    }
    m_config = fresh;
    if (!m_config.accountComplete())
        return std::nullopt;

    std::unique_ptr<SmsGateway> made = m_factory ? m_factory(m_config.gatewayUrl) : nullptr;
    if (!made) {
        return SmsInitError{InitGatewayLine,
                            {CannotCreateObject, QStringLiteral("The SMS gateway for \"%1\" could "
                                                                "not be created")
                                                     .arg(m_config.gatewayUrl.left(200))}};
    }
    made->setTimeoutSeconds(GatewaySetup);
    m_gateway = std::move(made);
    m_timSent.setInterval(QuietIntervalMs);
    return std::nullopt;
}

bool SmsAlerts::periodBlocks(const QDateTime& now) const
{
    const QString stored = m_settings.text(Keys::LastTime).trimmed();
    if (stored.isEmpty())
        return false;
    const QDateTime last = QDateTime::fromString(stored, QLatin1String(LastTimeFormat));
    if (!last.isValid())
        return false; // text that does not read back as a time counts as never sent

    const QDate today = now.date();
    switch (m_config.onceTime) {
    case AlertConfig::HalfHour:
        return sentAfterMark(QDateTime(today, QTime(now.time().hour(), 30)), now, last, false);
    case AlertConfig::Hour:
        return sentAfterMark(QDateTime(today, QTime(now.time().hour(), 0)), now, last, false);
    case AlertConfig::HalfDay:
        return sentAfterMark(QDateTime(today, QTime(12, 0)), now, last, true);
    case AlertConfig::Day:
        return last.date() == today;
    case AlertConfig::StartPinging: {
        QDateTime loaded = m_startTime;
        if (!loaded.isValid())
            loaded = QDateTime::fromString(m_settings.text(Keys::StartTime).trimmed(), QLatin1String(LastTimeFormat));
        if (!loaded.isValid())
            return false;
        // "LastTime" holds whole seconds, so the load time is compared at the same precision.
        loaded.setTime(QTime(loaded.time().hour(), loaded.time().minute(), loaded.time().second()));
        return last > loaded;
    }
    default:
        return false; // "Appear value!" and indexes the options dialog does not offer never block
    }
}

std::optional<QString> SmsAlerts::composeMessage(const QString& host, int value) const
{
    // Only the first rule that is on is looked at, even when it does not fire.
    const auto fillThreshold = [&] {
        QString text = m_config.threshold;
        text.replace(QStringLiteral("@PING@"), QString::number(value));
        text.replace(QStringLiteral("@HOST@"), host);
        return text;
    };
    if (m_config.ifGreater == 1) {
        if (value > m_config.greater)
            return fillThreshold();
    } else if (m_config.ifLess == 1) {
        if (value < m_config.less)
            return fillThreshold();
    } else if (m_config.ifTimeout == 1) {
        if (value == -1)
            return QString(m_config.timeout).replace(QStringLiteral("@HOST@"), host);
    }
    return std::nullopt;
}

void SmsAlerts::CheckSMS(const QString& host, int value, bool cycleRunning)
{
    // A send still waiting on a slow gateway can outlast timSent; it counts as the quiet interval too.
    if (m_config.rulesOn == 0 || !cycleRunning || m_timSent.isActive() || m_sending)
        return;
    const QDateTime now = m_clock.now();
    if (periodBlocks(now))
        return;
    std::optional<QString> text = composeMessage(host, value);
    if (!text)
        return;
    text->replace(QStringLiteral("@TIME@"), now.toString(QLatin1String(MessageTimeFormat)));
    text->prepend(m_title + QStringLiteral(" ping statistics. "));

    emit statusText(QStringLiteral("Sending SMS ..."));
    emit sentSignVisible(true);
    m_timSent.start();
    SendSMS(*text);
}

bool SmsAlerts::SendSMS(const QString& text)
{
    if (m_sending) {
        emit sendFailed(QStringLiteral("An SMS is being sent already"));
        return false;
    }
    if (!m_gateway) {
        emit sendFailed(QStringLiteral("No SMS gateway is set up: the account data in the options is incomplete"));
        return false;
    }
    // The wait lets events run: the options dialog may run InitSMS meanwhile, or the window may close. The copies
    // keep the gateway and the account of this send alive, and `self` tells whether this object still exists.
    const std::shared_ptr<SmsGateway> gateway = m_gateway;
    const AlertConfig account = m_config;
    const QPointer<SmsAlerts> self(this);
    m_sending = true;
    QString error;
    bool sent = false;
    try {
        sent = gateway->send(account.account, account.password, account.countryCode, account.carrier,
                             account.mobileNumber, text, &error);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QStringLiteral("The SMS gateway raised an unknown error");
    }
    if (!self)
        return sent; // the window and its settings are gone; there is nothing left to record into
    m_sending = false;
    if (!sent) {
        emit sendFailed(error.isEmpty() ? QStringLiteral("The SMS gateway refused the message") : error);
        return false;
    }
    m_settings.setText(Keys::LastTime, m_clock.now().toString(QLatin1String(LastTimeFormat)));
    return true;
}
