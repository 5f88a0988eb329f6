#pragma once
// The IPv4 entries of the system's interface address list.

#include <cstdint>
#include <string>
#include <vector>

struct CInterfaceAddress {
    std::string name;
    std::uint32_t address = 0;  // address bytes in network order
    std::uint32_t netmask = 0;  // address bytes in network order
    bool up = false;            // administratively up (IFF_UP)
};

// Appends every IPv4 address that carries a netmask, in the order the system
// lists them. Returns 1 when the list was read, 0 when it could not be.
int ReadInterfaceAddresses(std::vector<CInterfaceAddress>& entries);
