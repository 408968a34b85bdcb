#pragma once

#include <QString>
#include <QUrl>

#include <algorithm>

// Delivers one text message to a mobile phone through an account at an SMS gateway. A send is synchronous for the
// caller: it returns once the gateway accepted or refused the message.
class SmsGateway {
public:
    static constexpr int DefaultTimeoutSeconds = 20;
    static constexpr int MaxTimeoutSeconds = 3600;

    virtual ~SmsGateway() = default;

    // The set-up property: how long one send may wait for the gateway, in seconds. Non-positive values fall back
    // to the default, so no send can wait for ever.
    void setTimeoutSeconds(int seconds)
    {
        m_timeoutSeconds = seconds > 0 ? std::min(seconds, MaxTimeoutSeconds) : DefaultTimeoutSeconds;
    }
    int timeoutSeconds() const { return m_timeoutSeconds; }

    // True when the gateway took the message; otherwise false with the reason in *error.
    virtual bool send(const QString& account, const QString& password, const QString& countryCode,
                      const QString& carrier, const QString& mobileNumber, const QString& text, QString* error) = 0;

private:
    int m_timeoutSeconds = DefaultTimeoutSeconds;
};

// Posts the six arguments as one HTML form (application/x-www-form-urlencoded, UTF-8) to a gateway URL, fields
// ICQUIN, ICQPass, CountryCode, Carrier, MobileNumber and Message in that order. Any 2xx answer counts as sent.
// The wait lets the thread's events run, so the window stays responsive.
class HttpSmsGateway final : public SmsGateway {
public:
    // At most this much of an answer is kept, for the error text; the rest is read and dropped.
    static constexpr qsizetype AnswerExcerptBytes = 256;

    explicit HttpSmsGateway(QUrl url) : m_url(std::move(url)) {}

    QUrl url() const { return m_url; }
    bool send(const QString& account, const QString& password, const QString& countryCode, const QString& carrier,
              const QString& mobileNumber, const QString& text, QString* error) override;

    // The request body for these arguments; exposed so its encoding can be checked on its own.
    static QByteArray formBody(const QString& account, const QString& password, const QString& countryCode,
                               const QString& carrier, const QString& mobileNumber, const QString& text);

private:
    QUrl m_url;
};
