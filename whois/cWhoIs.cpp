#include "whois/cWhoIs.h"

#include "net/WSOCK.h"
#include "whois/WhoisAnswer.h"

#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <sys/socket.h>

const QString cWhoIs::CutLine = QStringLiteral("[answer cut at 1 MiB]");
const QString cWhoIs::SilentLine = QStringLiteral("[answer ended: the server sent nothing for %1 s]");

namespace {

// Answers up to this size are parsed on every tick that brought data; bigger ones at most every
// LargeParseIntervalMs, so a server that trickles a long answer cannot make each tick re-parse a megabyte.
constexpr qsizetype LargeAnswerChars = 64 * 1024;
constexpr qint64 LargeParseIntervalMs = 100;
constexpr std::size_t ReadChunkBytes = 64 * 1024;
constexpr int DefaultTimeoutSeconds = 10;

// Clients lent the same timer count on it here, so dropping one client does not stop the polling of another.
constexpr const char* PollersProperty = "tavrikWhoisPollers";

bool isNumeric(QStringView label)
{
    return !label.isEmpty() && std::all_of(label.begin(), label.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

enum class Received { Data, NothingYet, Ended };

Received receiveSome(int socket, char* buffer, std::size_t size, qsizetype* got)
{
    for (;;) {
        // MSG_DONTWAIT: the tick runs on the GUI thread and must never wait for the network.
        const ssize_t n = ::recv(socket, buffer, size, MSG_DONTWAIT);
        if (n > 0) {
            *got = n;
            return Received::Data;
        }
        if (n == 0)
            return Received::Ended; // the server has sent its whole answer
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Received::NothingYet;
        // A reset or any other hard error: nothing more will arrive on this connection.
        return Received::Ended;
    }
}

} // namespace

cWhoIs::cWhoIs(QTimer* dataTimer, const WhoisServers& servers, QObject* parent)
    : QObject(parent), m_servers(servers), m_dataTimer(dataTimer)
{
    if (!WSOCK::SocketsStarted())
        WSOCK::StartSockets();
    if (!m_dataTimer)
        m_dataTimer = new QTimer(this);
    m_dataTimer->setInterval(PollIntervalMs);
    connect(m_dataTimer, &QTimer::timeout, this, &cWhoIs::ReceivePoll);
    setDomainName(m_servers.ruRegistry);
}

cWhoIs::~cWhoIs()
{
    closeConnection();
}

QTimer* cWhoIs::dataTimer() const
{
    return m_dataTimer.data();
}

void cWhoIs::setHostName(const QString& name)
{
    m_hostName = name;
    if (name.isEmpty())
        return;
    const QPointer<cWhoIs> self(this);
    // The lookup pads the text it is given with NULs; a copy keeps HostName as it was set.
    QString padded = name;
    const QString address = WSOCK::HostToDotted(padded);
    if (!self)
        return;
    emit HostIPChanged(address);
    if (!self)
        return;
    setDomainName(ChooseWhoisServer(name));
}

void cWhoIs::setDomainName(const QString& name)
{
    m_domainName = name;
    if (name.isEmpty())
        return;
    const QPointer<cWhoIs> self(this);
    QString padded = name;
    const QString address = WSOCK::HostToDotted(padded);
    if (self)
        setServerIPAddress(address);
}

void cWhoIs::setServerIPAddress(const QString& address)
{
    m_serverIPAddress = address;
    emit ServerIPChanged(m_serverIPAddress);
}

void cWhoIs::setCountry(const QString& country)
{
    m_country = country;
    emit HostCountry(m_country);
}

void cWhoIs::setNetworkName(const QString& name)
{
    m_networkName = name;
    emit HostNetworkName(m_networkName);
}

void cWhoIs::setAddress(const QString& address)
{
    m_address = address;
    emit HostAddress(m_address);
}

void cWhoIs::setDescription(const QString& description)
{
    m_description = description;
    emit HostDescription(m_description);
}

void cWhoIs::setOrganization(const QString& organization)
{
    m_organization = organization;
    emit HostOrganization(m_organization);
}

void cWhoIs::setReturnMessage(const QString& text)
{
    m_answer = text;
    m_unparsed.clear();
    parseAnswer();
}

QString cWhoIs::ChooseWhoisServer(const QString& host)
{
    const qsizetype dot = host.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QString domain = host.mid(dot + 1).toUpper();
    if (isNumeric(domain))
        return {};
    if (domain == u"RU" || domain == u"SU") {
        m_zone = 0;
        return m_servers.ruRegistry;
    }
    if (domain == u"NL" || domain == u"LV") {
        m_zone = 5;
        return m_servers.ripe;
    }
    if (domain == u"DE") {
        m_zone = 6;
        return m_servers.deRegistry;
    }
    m_zone = 1; // COM, NET, ORG and every other domain
    return m_servers.registrar;
}

bool cWhoIs::ConnectToServer(const QString& query)
{
    const QPointer<cWhoIs> self(this);
    // A new query ends the previous one: its socket would otherwise stay open until the client dies.
    closeConnection();
    setReturnMessage(QString());
    if (!self)
        return false;
    setAddress(QString());
    if (!self)
        return false;
    if (m_hostName.isEmpty() && query.isEmpty())
        return false;
    if (!WSOCK::SocketsStarted() && !WSOCK::StartSockets()) {
        emit OnError(QStringLiteral("Cannot start WinSock"));
        return false;
    }

    setHostName(m_hostName); // resolves it and chooses server and zone anew
    if (!self)
        return false;
    QString request;
    if (!query.isEmpty() && (m_zone == 0 || m_zone == 4 || m_zone == 5)) {
        // These registries do not hold networks; the RIPE database answers network queries.
        setHostName(query);
        if (!self)
            return false;
        setDomainName(m_servers.ripe);
        if (!self)
            return false;
        request = query;
    } else if (!query.isEmpty()) {
        request = query;
    } else if (isNumeric(QStringView(m_hostName).left(m_hostName.indexOf(u'.')))) {
        request = QStringLiteral("-L ") + m_hostName;
    } else {
        request = m_hostName;
    }

    if (m_serverIPAddress.isEmpty()) {
        emit OnError(QStringLiteral("Cannot resolve Server IP address"));
        return false;
    }
    const QString cannotConnect = QStringLiteral("Cannot connect to Server: ") + m_domainName;
    // "No IP" is the lookup's failure text, not a name: connecting to it would only look it up once more.
    if (m_serverIPAddress == WSOCK::NoIP) {
        emit OnError(cannotConnect);
        return false;
    }
    const int socket = WSOCK::OpenTcpConnection(m_serverIPAddress, m_portForListen);
    if (!self) {
        WSOCK::CloseSocket(socket);
        return false;
    }
    if (socket < 1) {
        emit OnError(cannotConnect);
        return false;
    }
    // The socket stays local until the request is out, so a client dropped while the send waits leaves it to this
    // frame to close.
    const QByteArray bytes = (request + QStringLiteral("\r\n")).toLatin1();
    const qint64 sent = WSOCK::SendBytes(socket, bytes);
    if (!self) {
        WSOCK::CloseSocket(socket);
        return false;
    }
    if (sent != bytes.size()) {
        // A request that did not go out whole brings no answer; saying so beats waiting for one.
        WSOCK::CloseSocket(socket);
        emit OnError(QStringLiteral("Cannot send the request to Server: ") + m_domainName);
        return false;
    }
    m_socket = socket;
    m_gotData = false;
    m_lastData.start();
    startPolling();
    return true;
}

void cWhoIs::ReceivePoll()
{
    if (m_socket <= 0)
        return;
    // Everything that is waiting is read in one tick and parsed once, so a fast server costs one parse per tick
    // rather than one per read; the answer cap bounds how long a tick can take.
    bool ended = false;
    bool cut = false;
    bool silent = false;
    char buffer[ReadChunkBytes];
    while (!ended && !cut) {
        qsizetype got = 0;
        const Received r = receiveSome(m_socket, buffer, sizeof buffer, &got);
        if (r == Received::NothingYet) {
            const int seconds = m_timeout > 0 ? m_timeout : DefaultTimeoutSeconds;
            silent = m_lastData.isValid() && m_lastData.hasExpired(qint64(seconds) * 1000);
            if (silent && m_gotData) {
                const bool lineOpen = m_unparsed.isEmpty() ? !m_answer.endsWith(u'\n') : !m_unparsed.endsWith('\n');
                if (lineOpen)
                    m_unparsed.append("\r\n");
                m_unparsed.append(SilentLine.arg(seconds).toLatin1()).append("\r\n");
            }
            break;
        }
        if (r == Received::Ended) {
            ended = true;
            break;
        }
        m_gotData = true;
        m_lastData.start();
        m_unparsed.append(buffer, got);
        if (m_answer.size() + m_unparsed.size() > MaxAnswerBytes) {
            m_unparsed.truncate(std::max<qsizetype>(0, MaxAnswerBytes - m_answer.size()));
            const bool lineOpen = m_unparsed.isEmpty() ? !m_answer.endsWith(u'\n') : !m_unparsed.endsWith('\n');
            if (lineOpen)
                m_unparsed.append("\r\n");
            m_unparsed.append(CutLine.toLatin1()).append("\r\n");
            cut = true;
        }
    }
    if (ended || cut || silent)
        closeConnection();
    if ((ended || silent) && !m_gotData) {
        // An empty answer would leave the console showing "Loading ..." with nothing to tell the user.
        emit OnError(QStringLiteral("No answer from Server: ") + m_domainName);
        return;
    }
    if (m_unparsed.isEmpty())
        return;
    const bool due = ended || cut || silent || m_answer.size() + m_unparsed.size() <= LargeAnswerChars ||
                     !m_lastParse.isValid() || m_lastParse.elapsed() >= LargeParseIntervalMs;
    if (!due)
        return;
    const QString chunk = QString::fromLatin1(m_unparsed);
    m_unparsed.clear();
    AppendChunk(chunk);
}

void cWhoIs::AppendChunk(const QString& chunk)
{
    // Chunks join exactly as they arrived: a line split between two reads stays one line.
    m_answer += chunk;
    parseAnswer();
}

void cWhoIs::parseAnswer()
{
    m_lastParse.start();
    if (m_answer.isEmpty()) {
        m_returnMessage.clear();
        emit ReturnMSG(m_returnMessage);
        return;
    }
    WhoisAnswer::Parsed parsed = WhoisAnswer::parse(m_answer, m_zone);
    m_returnMessage = std::move(parsed.text);

    // Every setter raises a signal, and a receiver may drop the client.
    const QPointer<cWhoIs> self(this);
    setCountry(parsed.country);
    if (!self)
        return;
    setNetworkName(parsed.networkName);
    if (!self)
        return;
    if (parsed.address) {
        setAddress(*parsed.address);
        if (!self)
            return;
    }
    setOrganization(parsed.organization);
    if (!self)
        return;
    if (parsed.registrantCountry) {
        setCountry(*parsed.registrantCountry);
        if (!self)
            return;
    }
    setDescription(parsed.description);
    if (!self)
        return;
    emit ReturnMSG(m_returnMessage);
}

void cWhoIs::closeConnection()
{
    if (m_socket > 0)
        WSOCK::CloseSocket(m_socket);
    m_socket = 0;
    stopPolling();
}

void cWhoIs::startPolling()
{
    if (m_polling || !m_dataTimer)
        return;
    m_polling = true;
    m_dataTimer->setProperty(PollersProperty, m_dataTimer->property(PollersProperty).toInt() + 1);
    m_dataTimer->start();
}

void cWhoIs::stopPolling()
{
    if (!m_polling)
        return;
    m_polling = false;
    if (!m_dataTimer)
        return;
    const int left = m_dataTimer->property(PollersProperty).toInt() - 1;
    m_dataTimer->setProperty(PollersProperty, std::max(left, 0));
    // The timer is the owner's: stopped when nobody polls with it any more, never deleted.
    if (left <= 0)
        m_dataTimer->stop();
}
