#include "platform/net/Resolver.h"

#include <algorithm>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

std::string ComputerName()
{
    char name[128] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::vector<std::uint32_t> ResolveHostAddresses(const std::string& name)
{
    std::vector<std::uint32_t> addresses;
    if (name.empty())
        return addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;  // one result per address, not one per socket type
    addrinfo* result = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0)
        return addresses;
    for (const addrinfo* entry = result; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addr == nullptr)
            continue;
        const std::uint32_t address =
            reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    freeaddrinfo(result);
    return addresses;
}

std::string ReverseLookupName(std::uint32_t address)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = address;
    char name[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&where), sizeof where, name, sizeof name,
                    nullptr, 0, NI_NAMEREQD) != 0)
        return {};
    return name;
}
