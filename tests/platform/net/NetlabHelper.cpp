// Runs inside a lab namespace (under ip netns exec) and reports what the
// platform layer and the scan see there, one tab-separated line per fact.
// It refuses to do anything outside the namespace it is told it runs in, so
// it can never probe the machine's real networks.

#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "discovery/HostScan.h"
#include "discovery/InterfaceMasks.h"
#include "discovery/LocalHostScan.h"
#include "platform/net/InterfaceList.h"

namespace {

bool InsideNamespace(const std::string& name)
{
    struct stat own{}, lab{};
    return stat("/proc/self/ns/net", &own) == 0 && stat(("/run/netns/" + name).c_str(), &lab) == 0 &&
           own.st_ino == lab.st_ino && own.st_dev == lab.st_dev;
}

void ShowInterfaces()
{
    std::vector<CInterfaceAddress> entries;
    ReadInterfaceAddresses(entries);
    for (const CInterfaceAddress& e : entries)
        std::printf("if\t%s\t%s\t%s\t%s\n", e.name.c_str(), DottedAddress(e.address).c_str(),
                    DottedAddress(e.netmask).c_str(), e.up ? "up" : "down");
    InterfaceMaskList masks;
    std::printf("masks-read\t%d\n", GetInterfaceMasks(masks));
    for (const std::uint32_t m : masks)
        std::printf("mask\t%s\n", DottedAddress(m).c_str());
    std::printf("browsable\t%d\n", HasBrowsableInterface() ? 1 : 0);
}

void Scan()
{
    InterfaceMaskList masks;
    HostList hosts;
    int begins = 0, ends = 0;
    // The very function the host browser holds.
    LocalHostScan()(masks, hosts, CScanCursor{[&] { ++begins; }, [&] { ++ends; }});
    for (const std::uint32_t m : masks)
        std::printf("mask\t%s\n", DottedAddress(m).c_str());
    for (const auto& h : hosts)
        std::printf("host\t%s\t%s\n", h->address.c_str(), h->computerName.c_str());
    std::printf("cursor\t%d\t%d\n", begins, ends);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || std::strcmp(argv[1], "--netns") != 0 || !InsideNamespace(argv[2])) {
        std::fprintf(stderr, "netlab-helper: runs only inside its lab namespace\n");
        return 2;
    }
    const std::string mode = argv[3];
    if (mode == "interfaces")
        ShowInterfaces();
    else if (mode == "scan")
        Scan();
    else
        return 2;
    return 0;
}
