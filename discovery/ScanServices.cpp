#include "discovery/ScanServices.h"

#include "platform/net/Process.h"
#include "platform/net/Resolver.h"

namespace {

class CSystemScanServices final : public CScanServices {
public:
    int ReadInterfaces(std::vector<CInterfaceAddress>& entries) override
    {
        return ReadInterfaceAddresses(entries);
    }
    std::string ComputerName() override { return ::ComputerName(); }
    std::vector<std::uint32_t> ResolveHost(const std::string& name) override
    {
        return ResolveHostAddresses(name);
    }
    std::string ReverseLookup(std::uint32_t address) override { return ReverseLookupName(address); }
    std::unique_ptr<CEchoSocket> OpenSocket() override { return OpenEchoSocket(); }
    std::unique_ptr<CEchoSweep> StartSweep(const CInterfaceAddress& own, std::span<const std::uint32_t> addresses,
                                           int waitMs) override
    {
        return StartHelperEchoSweep(own, addresses, waitMs);
    }
    std::uint32_t ProcessId() override { return CurrentProcessId(); }
    void Sleep(int milliseconds) override { SleepMilliseconds(milliseconds); }
};

}  // namespace

CScanServices& SystemScanServices()
{
    static CSystemScanServices services;
    return services;
}
