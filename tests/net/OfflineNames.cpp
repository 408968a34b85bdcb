#include "tests/net/OfflineNames.h"

#include <arpa/inet.h>
#include <chrono>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <netdb.h>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Table {
    std::mutex mutex;
    std::map<std::string, std::string> addresses;
    std::map<std::string, int> delaysMs;
    std::vector<std::string> lookups;
};

Table& table()
{
    static Table t;
    return t;
}

using GetAddrInfo = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

GetAddrInfo systemGetAddrInfo()
{
    static const GetAddrInfo next = reinterpret_cast<GetAddrInfo>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return next;
}

} // namespace

// Takes the place of the C library's getaddrinfo in this program. Only numeric hosts reach the system's, with
// AI_NUMERICHOST, so it never asks a name server.
extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result)
{
    std::string numeric;
    int delayMs = 0;
    {
        Table& t = table();
        std::lock_guard lock(t.mutex);
        const std::string name = node ? node : "";
        t.lookups.push_back(name);
        if (const auto found = t.addresses.find(name); found != t.addresses.end())
            numeric = found->second;
        else if (in_addr probe{}; node && ::inet_pton(AF_INET, node, &probe) == 1)
            numeric = name;
        if (const auto slow = t.delaysMs.find(name); slow != t.delaysMs.end())
            delayMs = slow->second;
    }
    if (delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (numeric.empty())
        return EAI_NONAME;
    addrinfo numericHints = hints ? *hints : addrinfo{};
    numericHints.ai_flags |= AI_NUMERICHOST;
    return systemGetAddrInfo()(numeric.c_str(), service, &numericHints, result);
}

namespace OfflineNames {

void add(const QString& name, const QString& dottedAddress)
{
    std::lock_guard lock(table().mutex);
    table().addresses[name.toStdString()] = dottedAddress.toStdString();
}

void setDelayMs(const QString& name, int ms)
{
    std::lock_guard lock(table().mutex);
    table().delaysMs[name.toStdString()] = ms;
}

QStringList lookups()
{
    std::lock_guard lock(table().mutex);
    QStringList names;
    for (const std::string& name : table().lookups)
        names.append(QString::fromStdString(name));
    return names;
}

void clearLookups()
{
    std::lock_guard lock(table().mutex);
    table().lookups.clear();
}

} // namespace OfflineNames
