#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Real hosts for tests and benchmarks: network namespaces joined by veth links, with addresses from 198.18.0.0/15
// (the range set aside for benchmarking). The lab runs `ip`, so it needs root; everything it creates is removed when
// it goes out of scope. A failed step is remembered in error() and makes later steps fail too, so a caller can build
// the whole topology and check once.
class NetnsLab {
public:
    NetnsLab();
    ~NetnsLab();

    NetnsLab(const NetnsLab&) = delete;
    NetnsLab& operator=(const NetnsLab&) = delete;

    static bool haveRoot();

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // Creates a namespace with loopback up and returns its full name, which starts with a prefix unique to this lab.
    QString addNamespace(const QString& role);
    // Joins two namespaces with a veth pair; each end gets its address ("198.18.0.1/24") and is brought up.
    bool link(const QString& a, const QString& aAddress, const QString& b, const QString& bAddress);
    // `ip route add ARGS` inside a namespace, e.g. {"unreachable", "198.19.1.0/24"}.
    bool addRoute(const QString& ns, const QStringList& args);
    bool sysctl(const QString& ns, const QString& key, const QString& value);
    // Packets between the namespace's links are forwarded, and ICMP errors are never rate limited (the kernel
    // otherwise answers only about one error a second per destination, which back-to-back probes run into).
    bool makeRouter(const QString& ns);
    // Writes /etc/netns/NS/hosts, which `ip netns exec NS` shows to programs as /etc/hosts.
    bool setHosts(const QString& ns, const QString& text);
    // The program and arguments that run `command` inside the namespace, for QProcess.
    static QStringList execArguments(const QString& ns, const QStringList& command);
    bool exec(const QString& ns, const QStringList& command);

private:
    bool run(const QStringList& ipArguments);

    QString m_prefix;
    QStringList m_namespaces;
    int m_links = 0;
    QString m_error;
};

// A line of hosts: client, routers 1..N, target. Link k joins node k and node k+1 on 198.18.k.0/24 with .1 on the
// client side and .2 on the target side, so router i answers at 198.18.(i-1).2 towards the client and the target
// is 198.18.N.2. Every node routes all of 198.18.0.0/15 along the line, so 198.19.0.0/16 is free for special routes
// in a router. The client has no other route, and no default route: nothing sent from it can leave the lab.
struct LabChain {
    QString client;
    QStringList routers;
    QString target;
    std::uint32_t clientAddress = 0;            // network byte order
    std::vector<std::uint32_t> routerAddresses; // client-facing address of each router, network byte order
    std::uint32_t targetAddress = 0;            // network byte order
    QStringList routerNames;                    // "hopI.lab.test", in the client's hosts file
    QString targetName = QStringLiteral("target.lab.test");
};

// Builds the chain in `lab`; returns false (see lab.error()) when a step failed.
bool buildChain(NetnsLab& lab, int routers, LabChain* chain);

// Moves the calling thread into a namespace of the lab and back again when it goes out of scope. Sockets opened in
// between belong to that namespace; so do threads and processes started from this thread.
class ScopedNetns {
public:
    explicit ScopedNetns(const QString& ns);
    ~ScopedNetns();

    ScopedNetns(const ScopedNetns&) = delete;
    ScopedNetns& operator=(const ScopedNetns&) = delete;

    bool ok() const { return m_entered; }
    QString error() const { return m_error; }

private:
    int m_original = -1;
    bool m_entered = false;
    QString m_error;
};

// An IPv4 address in network byte order from dotted text (for test literals).
std::uint32_t ipv4(const char* dotted);
QString ipv4Text(std::uint32_t address);
