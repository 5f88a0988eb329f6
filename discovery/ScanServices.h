#pragma once
// Everything the scan asks of the system, behind one seam so that the scan's
// own logic can run against a stand-in.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/net/EchoSocket.h"
#include "platform/net/InterfaceList.h"

class CScanServices {
public:
    virtual ~CScanServices() = default;

    virtual int ReadInterfaces(std::vector<CInterfaceAddress>& entries) = 0;
    virtual std::string ComputerName() = 0;
    virtual std::vector<std::uint32_t> ResolveHost(const std::string& name) = 0;
    virtual std::string ReverseLookup(std::uint32_t address) = 0;
    // Null when no echo socket can be opened.
    virtual std::unique_ptr<CEchoSocket> OpenSocket() = 0;
    // Where no echo socket can be opened: a sweep of addresses by a service
    // that may send, within own's network; null when there is none.
    virtual std::unique_ptr<CEchoSweep> StartSweep(const CInterfaceAddress& own,
                                                   std::span<const std::uint32_t> addresses, int waitMs) = 0;
    virtual std::uint32_t ProcessId() = 0;
    virtual void Sleep(int milliseconds) = 0;
};

// The services of this host: getifaddrs, the resolver, ICMP sockets.
CScanServices& SystemScanServices();
