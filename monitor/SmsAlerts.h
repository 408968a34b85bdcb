#pragma once

#include "platform/Clock.h"
#include "platform/SmsGateway.h"
#include "platform/ProcedureError.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class Settings;

// The alert rules and the account data, as InitSMS reads them from section "SMS" of the settings.
struct AlertConfig {
    enum Period : qint16 { HalfHour = 0, Hour = 1, HalfDay = 2, Day = 3, StartPinging = 4, AppearValue = 5 };

    qint16 rulesOn = 0;                  // non-zero: on
    qint16 ifGreater = 0, greater = 100; // 1: on; threshold in ms
    qint16 ifLess = 0, less = 100;
    qint16 ifTimeout = 0;
    qint16 onceTime = AppearValue; // index of the repeat-limiting period
    QString threshold, timeout;    // the two templates
    // Trimmed of blanks.
    QString carrier, countryCode, account, mobileNumber, password, gatewayUrl;

    bool accountComplete() const;
};

// Where InitSMS stopped: the step ("line") and what went wrong there.
struct SmsInitError {
    int line = 0;
    ProcedureError error;
};

// Tests replies of the monitoring cycle against the alert rules and sends a text message when one fires, at most
// once per chosen period. It owns no widget: what the window shows comes out of its signals, and the quiet interval
// after a message is the timer `timSent`.
class SmsAlerts : public QObject {
    Q_OBJECT
public:
    static constexpr int GatewaySetup = 20; // the gateway's set-up value: its request time-out in seconds
    static constexpr int QuietIntervalMs = 20000, IdleIntervalMs = 1000;
    static constexpr const char* LastTimeFormat = "dd/MM/yyyy hh:mm:ss";
    static constexpr const char* MessageTimeFormat = "dd.MM.yyyy hh:mm:ss";
    static constexpr int InitReadLine = 1, InitGatewayLine = 2;

    // Makes the gateway for the address in "GatewayURL"; nullptr when it cannot.
    using GatewayFactory = std::function<std::unique_ptr<SmsGateway>(const QString& url)>;

    explicit SmsAlerts(Settings& settings, Clock& clock = systemClock(), QObject* parent = nullptr);

    void setGatewayFactory(GatewayFactory factory) { m_factory = std::move(factory); }
    // Put in front of every message, followed by " ping statistics. ".
    void setApplicationTitle(const QString& title) { m_title = title; }
    // When the window was loaded: period "Start pinging" counts from here. Until set, the stored "StartTime" is used.
    void setStartTime(const QDateTime& loaded) { m_startTime = loaded; }

    // Reads the rules and creates the gateway when the account data is complete. On a failed read nothing of the
    // new settings is taken: the rules are off and there is no gateway until a later InitSMS succeeds.
    std::optional<SmsInitError> InitSMS();
    // One reply of the monitoring cycle: the host text and its round trip in ms (-1: the host did not resolve).
    void CheckSMS(const QString& host, int value, bool cycleRunning);
    // Sends `text` and records the time; a failure is reported through sendFailed and leaves "LastTime" alone.
    bool SendSMS(const QString& text);

    const AlertConfig& config() const { return m_config; }
    SmsGateway* gateway() const { return m_gateway.get(); }
    QTimer& timSent() { return m_timSent; }
    bool isSending() const { return m_sending; }

signals:
    void statusText(const QString& text);
    void sentSignVisible(bool visible);
    void sendFailed(const QString& error);

private:
    std::optional<ProcedureError> readConfig(AlertConfig* config) const;
    bool periodBlocks(const QDateTime& now) const;
    std::optional<QString> composeMessage(const QString& host, int value) const;

    Settings& m_settings;
    Clock& m_clock;
    GatewayFactory m_factory;
    AlertConfig m_config;
    // Shared so a send under way keeps its gateway alive when InitSMS replaces it meanwhile.
    std::shared_ptr<SmsGateway> m_gateway;
    QTimer m_timSent;
    QString m_title;
    QDateTime m_startTime;
    bool m_sending = false;
};
