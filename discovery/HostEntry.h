#pragma once
// One host that answered the scan's echo request.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CHostEntry {
public:
    CHostEntry() = default;
    CHostEntry(std::string hostAddress, std::string name)
        : address(std::move(hostAddress)), computerName(std::move(name)) {}
    virtual ~CHostEntry() = default;

    std::string address;       // dotted decimal, "10.1.2.77"
    std::string computerName;  // official name of the reverse look-up; empty when it failed
};

// The host browser's two arrays: the hosts in the order they were probed, and
// the qualifying interface netmasks (address bytes in network order).
using HostList = std::vector<std::unique_ptr<CHostEntry>>;
using InterfaceMaskList = std::vector<std::uint32_t>;
