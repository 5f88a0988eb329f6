// Runs inside a lab namespace (under ip netns exec) and reports what the
// platform layer and the scan see there, one tab-separated line per fact.
// It refuses to do anything outside the namespace it is told it runs in, so
// it can never probe the machine's real networks.

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "discovery/EchoMessage.h"
#include "discovery/HostScan.h"
#include "discovery/InterfaceMasks.h"
#include "discovery/LocalHostScan.h"
#include "platform/net/EchoSocket.h"
#include "platform/net/InterfaceList.h"
#include "platform/net/Process.h"
#include "platform/net/Resolver.h"

namespace {

using Clock = std::chrono::steady_clock;

bool InsideNamespace(const std::string& name)
{
    struct stat own{}, lab{};
    return stat("/proc/self/ns/net", &own) == 0 && stat(("/run/netns/" + name).c_str(), &lab) == 0 &&
           own.st_ino == lab.st_ino && own.st_dev == lab.st_dev;
}

std::uint32_t Address(const char* text)
{
    return inet_addr(text);
}

int ShowInterfaces()
{
    std::vector<CInterfaceAddress> entries;
    if (ReadInterfaceAddresses(entries) == 0)
        return 1;
    for (const CInterfaceAddress& e : entries)
        std::printf("if\t%s\t%s\t%s\t%s\n", e.name.c_str(), DottedAddress(e.address).c_str(),
                    DottedAddress(e.netmask).c_str(), e.up ? "up" : "down");
    InterfaceMaskList masks;
    std::printf("masks-read\t%d\n", GetInterfaceMasks(masks));
    for (const std::uint32_t m : masks)
        std::printf("mask\t%s\n", DottedAddress(m).c_str());
    std::printf("browsable\t%d\n", HasBrowsableInterface() ? 1 : 0);
    return 0;
}

int ShowSocket()
{
    const auto socket = OpenEchoSocket();
    if (!socket)
        std::printf("socket\tnone\n");
    else
        std::printf("socket\t%s\t%u\n", socket->DeliversIpHeader() ? "raw" : "datagram",
                    socket->Identifier(CurrentProcessId()));
    return 0;
}

int ShowNames(int argc, char** argv)
{
    const std::string computer = ComputerName();
    std::printf("computer\t%s\n", computer.c_str());
    for (const std::uint32_t a : ResolveHostAddresses(computer))
        std::printf("address\t%s\n", DottedAddress(a).c_str());
    for (int i = 0; i < argc; ++i)
        std::printf("name\t%s\t%s\n", argv[i], ReverseLookupName(Address(argv[i])).c_str());
    return 0;
}

int Scan()
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
    return 0;
}

// Waits up to a second for the reply, to tell a slow host from a silent one.
int RoundTrip(const char* target)
{
    const auto socket = OpenEchoSocket();
    if (!socket || socket->SetNonBlocking() != 0)
        return 1;
    const std::uint32_t address = Address(target);
    const std::uint16_t identifier = socket->Identifier(CurrentProcessId());
    std::uint8_t request[kEchoRequestSize];
    BuildEchoRequest(request, identifier, address);
    int error = 0;
    const auto start = Clock::now();
    if (socket->SendTo(address, request, error) < 0)
        return 1;
    std::uint8_t buffer[1024];
    while (Clock::now() - start < std::chrono::seconds(1)) {
        std::uint32_t sender = 0;
        const long n = socket->ReceiveFrom(buffer, sender, error);
        if (n >= 0 && sender == address &&
            IsEchoReplyForUs({buffer, static_cast<std::size_t>(n)}, identifier,
                             socket->DeliversIpHeader())) {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            std::printf("rtt\t%lld\n", static_cast<long long>(ms.count()));
            return 0;
        }
        SleepMilliseconds(2);
    }
    std::printf("rtt\tnone\n");
    return 0;
}

// Answers each echo request delayMs late, for a kernel that cannot delay.
int Respond(int delayMs, int seconds)
{
    const int fd = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (fd < 0)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    struct Pending {
        Clock::time_point due;
        sockaddr_in to;
        std::vector<std::uint8_t> reply;
    };
    std::vector<Pending> pending;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        auto wake = end;
        for (const Pending& p : pending)
            wake = std::min(wake, p.due);
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(std::max<long long>(wait.count(), 0))) > 0) {
            std::uint8_t buffer[1500];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&from), &length);
            const std::size_t h = n > 0 ? static_cast<std::size_t>(buffer[0] & 0x0F) * 4 : 0;
            if (n > 0 && static_cast<std::size_t>(n) >= h + 8 && buffer[h] == 8) {
                std::vector<std::uint8_t> reply(buffer + h, buffer + n);
                reply[0] = 0;
                reply[2] = reply[3] = 0;
                const std::uint16_t sum = IcmpChecksum(reply);
                reply[2] = static_cast<std::uint8_t>(sum & 0xFF);
                reply[3] = static_cast<std::uint8_t>(sum >> 8);
                pending.push_back({Clock::now() + std::chrono::milliseconds(delayMs), from, reply});
            }
        }
        for (auto it = pending.begin(); it != pending.end();) {
            if (it->due > Clock::now()) {
                ++it;
                continue;
            }
            sendto(fd, it->reply.data(), it->reply.size(), 0,
                   reinterpret_cast<const sockaddr*>(&it->to), sizeof it->to);
            it = pending.erase(it);
        }
    }
    close(fd);
    return 0;
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
        return ShowInterfaces();
    if (mode == "socket")
        return ShowSocket();
    if (mode == "names")
        return ShowNames(argc - 4, argv + 4);
    if (mode == "scan")
        return Scan();
    if (mode == "probe" && argc == 5) {
        const int result = ProbeHost(Address(argv[4]));
        std::printf("probe\t%d\n", result);
        return 0;
    }
    if (mode == "rtt" && argc == 5)
        return RoundTrip(argv[4]);
    if (mode == "respond" && argc == 6)
        return Respond(std::atoi(argv[4]), std::atoi(argv[5]));
    std::fprintf(stderr, "netlab-helper: unknown mode %s\n", mode.c_str());
    return 2;
}
