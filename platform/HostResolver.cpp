#include "platform/HostResolver.h"

#include "platform/EventWait.h"

#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

class SystemHostResolver final : public HostResolver {
public:
    std::optional<std::uint32_t> resolveIPv4(const QString& name) override
    {
        // The worker may outlive an aborted wait, so it writes into shared state rather than this frame.
        auto answer = std::make_shared<std::optional<std::uint32_t>>();
        const QByteArray host = name.toUtf8();
        const WaitResult waited = runInWorker([answer, host] {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_RAW;
            addrinfo* list = nullptr;
            if (::getaddrinfo(host.constData(), nullptr, &hints, &list) == 0 && list) {
                const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
                *answer = in->sin_addr.s_addr;
            }
            if (list)
                ::freeaddrinfo(list);
        });
        if (waited != WaitResult::Ready)
            return std::nullopt;
        return *answer;
    }
};

} // namespace

HostResolver& systemHostResolver()
{
    static SystemHostResolver resolver;
    return resolver;
}
