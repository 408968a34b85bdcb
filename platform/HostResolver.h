#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Name to IPv4 address, as the probe needs it. The system resolver runs the lookup off the GUI thread and waits
// with events running; tests substitute a table so no query ever leaves the machine.
class HostResolver {
public:
    virtual ~HostResolver() = default;
    // The first IPv4 address of `name` in network byte order, or nothing when the name does not resolve.
    virtual std::optional<std::uint32_t> resolveIPv4(const QString& name) = 0;
};

HostResolver& systemHostResolver();
