#include "platform/SmsGateway.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace {

// An answer the gateway wrote is shown to the user, so only a short, printable excerpt of it is kept.
QString printable(const QByteArray& bytes, qsizetype maxChars)
{
    QString text = QString::fromUtf8(bytes); // invalid sequences become U+FFFD instead of failing
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u' ';
    }
    return text.simplified().left(maxChars);
}

enum class Outcome {
    Pending,    // still waiting; left so when the application quits during the wait
    Finished,   // the exchange ended, well or not
    HaveEnough, // the status is known and the answer outgrew the excerpt: the rest cannot change the result
    TimedOut,
};

} // namespace

QByteArray HttpSmsGateway::formBody(const QString& account, const QString& password, const QString& countryCode,
                                    const QString& carrier, const QString& mobileNumber, const QString& text)
{
    const std::pair<const char*, const QString*> fields[] = {
        {"ICQUIN", &account},  {"ICQPass", &password},          {"CountryCode", &countryCode},
        {"Carrier", &carrier}, {"MobileNumber", &mobileNumber}, {"Message", &text},
    };
    // Everything but the unreserved characters is escaped, so '+', '&', '=' and line breaks reach the gateway as
    // they were typed: a plain '+' would read as a blank on the other side.
    QByteArray body;
    for (const auto& [name, value] : fields) {
        if (!body.isEmpty())
            body += '&';
        body += name;
        body += '=';
        body += QUrl::toPercentEncoding(*value);
    }
    return body;
}

bool HttpSmsGateway::send(const QString& account, const QString& password, const QString& countryCode,
                          const QString& carrier, const QString& mobileNumber, const QString& text, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (m_url.isEmpty())
        return fail(QStringLiteral("No SMS gateway address is set"));
    const QString scheme = m_url.scheme().toLower();
    if (!m_url.isValid() || m_url.host().isEmpty() || (scheme != u"http" && scheme != u"https")) {
        return fail(QStringLiteral("The SMS gateway address \"%1\" is not a valid http or https address")
                        .arg(m_url.toDisplayString(QUrl::RemoveUserInfo).left(200)));
    }
    if (!QCoreApplication::instance())
        return fail(QStringLiteral("Sending an SMS needs a running application"));

    // Everything the wait needs is local: when the caller's objects go away meanwhile, nothing here refers to them,
    // and this object itself is not touched after the wait.
    const QString where = m_url.host();
    const int timeoutSeconds = this->timeoutSeconds();

    QNetworkAccessManager manager;
    // A gateway on this machine or the local network must not be sent through a proxy picked up from the
    // environment, and a system proxy must not see the account password.
    manager.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    QNetworkRequest request(m_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    // A redirected POST may silently turn into a GET or go elsewhere; a gateway that redirects has not taken it.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(
        manager.post(request, formBody(account, password, countryCode, carrier, mobileNumber, text)));
    reply->setReadBufferSize(64 * 1024);

    QEventLoop loop;
    Outcome outcome = Outcome::Pending;
    QByteArray excerpt;
    const auto settle = [&](Outcome reached) {
        if (outcome == Outcome::Pending)
            outcome = reached;
        loop.quit();
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        // Drained as it arrives, so a huge answer never piles up in memory.
        while (reply->bytesAvailable() > 0) {
            const QByteArray chunk = reply->read(16 * 1024);
            if (chunk.isEmpty())
                break;
            excerpt += chunk.left(AnswerExcerptBytes + 1 - excerpt.size());
        }
        if (excerpt.size() > AnswerExcerptBytes)
            settle(Outcome::HaveEnough);
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, [&] { settle(Outcome::Finished); });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { settle(Outcome::TimedOut); });
    timer.start(timeoutSeconds * 1000);

    // exec() also returns when the application quits, at once if it is quitting already; outcome stays Pending.
    if (outcome == Outcome::Pending)
        loop.exec();
    timer.stop();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QString reason = printable(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray(), 80);
    const QString transportError = reply->errorString();
    const QNetworkReply::NetworkError code = reply->error();
    QObject::disconnect(reply.get(), nullptr, &loop, nullptr);
    if (reply->isRunning())
        reply->abort();
    reply.reset();

    if (outcome == Outcome::Pending)
        return fail(QStringLiteral("Sending the SMS was stopped: the application is quitting"));
    // Once the gateway has given its status, that decides, even if the rest of the answer never arrives.
    if (status.isValid()) {
        const int http = status.toInt();
        if (http >= 200 && http <= 299)
            return true;
        QString why = QStringLiteral("The SMS gateway answered HTTP %1").arg(http);
        if (!reason.isEmpty())
            why += u' ' + reason;
        const QString answer = printable(excerpt, 120);
        if (!answer.isEmpty())
            why += QStringLiteral(": ") + answer;
        return fail(why);
    }
    if (outcome == Outcome::TimedOut)
        return fail(QStringLiteral("The SMS gateway %1 did not answer within %2 s").arg(where).arg(timeoutSeconds));
    if (code != QNetworkReply::NoError)
        return fail(QStringLiteral("The SMS gateway %1 could not be reached: %2").arg(where, transportError));
    return fail(QStringLiteral("The SMS gateway %1 gave no HTTP status").arg(where));
}
