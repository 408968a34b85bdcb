#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The socket layer: names and addresses both ways, and TCP connections, for the tracer and the whois client.
// Addresses are IPv4 in network byte order; all ones means "no address". Lookups and connects keep their blocking
// contract but wait with events running, so the window stays responsive.
namespace WSOCK {

inline constexpr std::uint32_t NoAddress = 0xFFFFFFFFu;
inline const QString NoIP = QStringLiteral("No IP");
inline const QString Unknown = QStringLiteral("Unknown");
inline constexpr int MaxHostChars = 64;

// Program-wide: true once started, until StopSockets. On Linux there is no library to load; the flag keeps the
// callers' protocol (start once, stop on the main window's unload).
bool StartSockets(QString* description = nullptr);
void StopSockets();
bool SocketsStarted();

// A dotted address as it stands, else the first address of the name; NoAddress on failure.
std::uint32_t ResolveAddress(const QString& text);
QString AddressToDotted(std::uint32_t address);
// The host's official name, or "Unknown".
QString ReverseLookup(std::uint32_t address);
// This machine's name, or "Unknown".
QString LocalHostName();
// The dotted text of the name's first address, or "No IP". The name is padded with NULs to 64 characters, as the
// caller's variable shows afterwards; a longer name cannot be padded and gives "No IP".
QString HostToDotted(QString& name);
QString BytesToDotted(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4);

// Connects a TCP socket to host:port and returns it (non-blocking from then on), or -1. `endpoint` receives
// "a.b.c.d:port". The connect waits at most `connectTimeoutMs`.
int OpenTcpConnection(const QString& host, int port, QString* endpoint = nullptr, int connectTimeoutMs = 15000);
int SetLinger(int socket, int on, int seconds);
// Sends all of `data` (waiting with events running while the socket is full) and returns the bytes sent, or -1.
qint64 SendBytes(int socket, const QByteArray& data);
// A text goes out as 8-bit characters.
qint64 SendBytes(int socket, const QString& text);
void CloseSocket(int socket);

} // namespace WSOCK
