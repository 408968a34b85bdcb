#pragma once

#include "whois/WhoisServers.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;

// Asks a whois server (TCP) who owns a host name or network, receives the answer by polling a non-blocking socket
// on the GUI thread, cleans it and announces each field it finds through its own signal.
class cWhoIs : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString HostName READ HostName WRITE setHostName)
    Q_PROPERTY(QString DomainName READ DomainName WRITE setDomainName)
    Q_PROPERTY(QString ServerIPAddress READ ServerIPAddress WRITE setServerIPAddress)
    Q_PROPERTY(int PortForListen READ PortForListen WRITE setPortForListen)
    Q_PROPERTY(int Zone READ Zone WRITE setZone)
    Q_PROPERTY(int Timeout READ Timeout WRITE setTimeout)
    Q_PROPERTY(QString ReturnMessage READ ReturnMessage WRITE setReturnMessage)
    Q_PROPERTY(QString Country READ Country WRITE setCountry)
    Q_PROPERTY(QString NetworkName READ NetworkName WRITE setNetworkName)
    Q_PROPERTY(QString Address READ Address WRITE setAddress)
    Q_PROPERTY(QString Description READ Description WRITE setDescription)
    Q_PROPERTY(QString Organization READ Organization WRITE setOrganization)

public:
    static constexpr int DefaultPort = 43;
    static constexpr int PollIntervalMs = 10;
    // Larger answers are cut here, so a runaway server cannot fill the memory or the window.
    static constexpr qsizetype MaxAnswerBytes = qsizetype(1) << 20;
    static const QString CutLine; // ends an answer that was cut
    // Ends an answer the server stopped sending without closing the connection; %1 is the time-out in seconds.
    static const QString SilentLine;

    // `dataTimer` is the owner's poll timer, lent for the client's life and never deleted by it; without one the
    // client makes its own. `servers` is the table ChooseWhoisServer picks from.
    explicit cWhoIs(QTimer* dataTimer = nullptr, const WhoisServers& servers = WhoisServers::standard(),
                    QObject* parent = nullptr);
    ~cWhoIs() override;

    // Connects (blocking, with events running) and sends the request for `query`, or for HostName when `query` is
    // empty. True when the request was sent; the answer arrives later through ReturnMSG and the field signals.
    bool ConnectToServer(const QString& query);

    QString HostName() const { return m_hostName; }
    void setHostName(const QString& name);
    QString DomainName() const { return m_domainName; }
    void setDomainName(const QString& name);
    QString ServerIPAddress() const { return m_serverIPAddress; }
    void setServerIPAddress(const QString& address);
    int PortForListen() const { return m_portForListen; }
    void setPortForListen(int port) { m_portForListen = port; }
    int Zone() const { return m_zone; }
    void setZone(int zone) { m_zone = zone; }
    // Seconds a receiving client waits for the next bytes before it ends the answer itself; non-positive values
    // fall back to the default, so a server that never closes cannot keep a connection open for ever.
    int Timeout() const { return m_timeout; }
    void setTimeout(int seconds) { m_timeout = seconds; }
    // The cleaned answer so far. Setting it cleans and parses the text as if it had been received.
    QString ReturnMessage() const { return m_returnMessage; }
    void setReturnMessage(const QString& text);
    QString Country() const { return m_country; }
    void setCountry(const QString& country);
    QString NetworkName() const { return m_networkName; }
    void setNetworkName(const QString& name);
    QString Address() const { return m_address; }
    void setAddress(const QString& address);
    QString Description() const { return m_description; }
    void setDescription(const QString& description);
    QString Organization() const { return m_organization; }
    void setOrganization(const QString& organization);

    const WhoisServers& servers() const { return m_servers; }
    void setServers(const WhoisServers& servers) { m_servers = servers; }
    QTimer* dataTimer() const;
    // True from a sent request until the server ended the answer, the answer was cut, or a new query began.
    bool isReceiving() const { return m_socket > 0; }

signals:
    void OnConnect(const QString& text); // kept for the event set's sake; nothing raises it
    void ReturnMSG(const QString& text);
    void ServerIPChanged(const QString& address);
    void HostIPChanged(const QString& address);
    void HostDescription(const QString& description);
    void HostOrganization(const QString& organization);
    void HostAddress(const QString& address);
    void OnError(const QString& message);
    void HostNetworkName(const QString& name);
    void HostCountry(const QString& country);

private:
    QString ChooseWhoisServer(const QString& host);
    void ReceivePoll();
    void AppendChunk(const QString& chunk);
    void parseAnswer();
    void closeConnection();
    void startPolling();
    void stopPolling();

    WhoisServers m_servers;
    QString m_hostName;
    QString m_domainName;
    QString m_serverIPAddress;
    int m_portForListen = DefaultPort;
    int m_zone = 0;
    int m_timeout = 10;
    QString m_returnMessage;
    QString m_country;
    QString m_networkName;
    QString m_address;
    QString m_description;
    QString m_organization;

    int m_socket = 0;             // 0 until a connection is open, and again once it is closed
    QString m_answer;             // the answer as received, each byte widened to one character
    QByteArray m_unparsed;        // received but not yet cleaned and parsed
    QElapsedTimer m_lastParse;    // big answers are re-parsed at most every LargeParseIntervalMs
    QElapsedTimer m_lastData;     // since the request went out or the last bytes arrived
    bool m_gotData = false;       // the server has sent at least one byte of this answer
    QPointer<QTimer> m_dataTimer; // lent timers may die before the client: the owner's children go in any order
    bool m_polling = false;
};
