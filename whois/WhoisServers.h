#pragma once

#include <QString>

// The four whois services the client chooses from by top-level domain. A value type, so tests hand the client a
// table that points every service at their own server on 127.0.0.1 and no query ever reaches a public server.
struct WhoisServers {
    QString ruRegistry; // RU and SU domains
    QString registrar;  // COM, NET and ORG, and every domain without a service of its own
    QString ripe;       // NL and LV, and queries for networks
    QString deRegistry; // DE domain

    static WhoisServers standard()
    {
        return {QStringLiteral("whois.tcinet.ru"), QStringLiteral("whois.verisign-grs.com"),
                QStringLiteral("whois.ripe.net"), QStringLiteral("whois.denic.de")};
    }
    // Every service on one host.
    static WhoisServers allAt(const QString& host) { return {host, host, host, host}; }

    bool operator==(const WhoisServers&) const = default;
};
