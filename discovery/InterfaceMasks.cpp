#include "discovery/InterfaceMasks.h"

#include <algorithm>

bool IsBrowsableNetmask(std::uint32_t netmask)
{
    const auto* b = reinterpret_cast<const std::uint8_t*>(&netmask);
    const std::uint32_t littleEndian = static_cast<std::uint32_t>(b[0]) | b[1] << 8 | b[2] << 16 |
                                       static_cast<std::uint32_t>(b[3]) << 24;
    return littleEndian >= 0x00FFFFFF;
}

std::vector<CInterfaceAddress> BrowsableInterfaces(const std::vector<CInterfaceAddress>& entries)
{
    std::vector<CInterfaceAddress> browsable;
    for (const CInterfaceAddress& entry : entries) {
        // An interface that is down has no route to sweep.
        if (entry.up && IsBrowsableNetmask(entry.netmask))
            browsable.push_back(entry);
    }
    return browsable;
}

int GetInterfaceMasks(InterfaceMaskList& interfaceMasks, CScanServices& services)
{
    std::vector<CInterfaceAddress> entries;
    if (services.ReadInterfaces(entries) == 0)
        return 0;
    for (const CInterfaceAddress& entry : BrowsableInterfaces(entries))
        interfaceMasks.push_back(entry.netmask);
    return 1;
}

bool HasBrowsableInterface(std::span<const std::uint32_t> netmasks)
{
    return std::any_of(netmasks.begin(), netmasks.end(), IsBrowsableNetmask);
}

bool HasBrowsableInterface(CScanServices& services)
{
    InterfaceMaskList masks;
    GetInterfaceMasks(masks, services);
    return !masks.empty();
}
