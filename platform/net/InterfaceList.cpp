#include "platform/net/InterfaceList.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

int ReadInterfaceAddresses(std::vector<CInterfaceAddress>& entries)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return 0;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            entry->ifa_netmask == nullptr)
            continue;
        CInterfaceAddress item;
        item.name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        item.address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
        item.netmask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr;
        item.up = (entry->ifa_flags & IFF_UP) != 0;
        entries.push_back(std::move(item));
    }
    freeifaddrs(list);
    return 1;
}
