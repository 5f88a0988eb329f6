#include "platform/net/EchoSocket.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/helper/HelperProcess.h"

namespace {

// The helper's first result comes after its start and one wait; each
// further one a wait later. Past this margin it is taken to be stuck.
constexpr int kHelperResultMarginMs = 2000;
constexpr int kHelperEndMs = 100;

void SetIcmpFilter(int fd, std::uint32_t blocked)
{
    icmp_filter filter{blocked};
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
}

// Other ICMP traffic (the unreachables of neighbours that never resolve, other
// programs' echoes) would otherwise sit in front of the reply we wait for.
void PassOnlyEchoReplies(int fd) { SetIcmpFilter(fd, ~(1U << ICMP_ECHOREPLY)); }

class CIcmpSocket final : public CEchoSocket {
public:
    CIcmpSocket(int descriptor, bool raw, std::uint16_t datagramIdentifier)
        : fd(descriptor), rawSocket(raw), boundIdentifier(datagramIdentifier) {}
    ~CIcmpSocket() override { close(fd); }

    CIcmpSocket(const CIcmpSocket&) = delete;
    CIcmpSocket& operator=(const CIcmpSocket&) = delete;

    bool DeliversIpHeader() const override { return rawSocket; }

    std::uint16_t Identifier(std::uint32_t processId) const override
    {
        return rawSocket ? static_cast<std::uint16_t>(processId & 0xFFFF) : boundIdentifier;
    }

    int SetNonBlocking() override
    {
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
            return errno;
        return 0;
    }

    int SetReceiveTimeout(int milliseconds) override { return SetTimeout(SO_RCVTIMEO, milliseconds); }
    int SetSendTimeout(int milliseconds) override { return SetTimeout(SO_SNDTIMEO, milliseconds); }

    long SendTo(std::uint32_t address, std::span<const std::uint8_t> bytes, int& error) override
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = address;
        const ssize_t sent = sendto(fd, bytes.data(), bytes.size(), 0,
                                    reinterpret_cast<const sockaddr*>(&to), sizeof to);
        error = sent < 0 ? errno : 0;
        return static_cast<long>(sent);
    }

    long ReceiveFrom(std::span<std::uint8_t> buffer, std::uint32_t& sender, int& error) override
    {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t received = recvfrom(fd, buffer.data(), buffer.size(), 0,
                                          reinterpret_cast<sockaddr*>(&from), &fromLength);
        error = received < 0 ? errno : 0;
        sender = received >= 0 && from.sin_family == AF_INET ? from.sin_addr.s_addr : 0;
        return static_cast<long>(received);
    }

private:
    int SetTimeout(int option, int milliseconds)
    {
        const timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
        return setsockopt(fd, SOL_SOCKET, option, &limit, sizeof limit) == 0 ? 0 : errno;
    }

    int fd;
    bool rawSocket;
    std::uint16_t boundIdentifier;
};

// The kernel picks the datagram socket's identifier when it is bound; bind now
// so that the request and the reply check use the same one.
bool BindDatagramIdentifier(int fd, std::uint16_t& identifier)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return false;
    socklen_t length = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return false;
    // The kernel writes the port's bytes into the echo header as they are.
    std::uint8_t wire[2];
    std::memcpy(wire, &local.sin_port, sizeof wire);
    identifier = static_cast<std::uint16_t>(wire[0] | wire[1] << 8);
    return true;
}

// The capture helper's echo service: one helper for the whole sweep, whose
// results arrive in the order of the addresses asked for.
class CHelperEchoSweep final : public CEchoSweep {
public:
    explicit CHelperEchoSweep(const HelperRequest& sweep) : request(sweep) {}

    // No helper is needed when none of the addresses is a host of the network.
    bool Start()
    {
        return request.count == 0 || (helper.Start(LocateCaptureHelper()) == 0 && helper.Send(request));
    }

    bool Next(std::uint32_t address, CEchoOutcome& outcome) override
    {
        outcome = CEchoOutcome{};
        // Addresses the helper would refuse were never asked for.
        if (received >= request.count || address != EchoSweepAddress(request.first, received))
            return !broken;
        HelperReport report;
        const int wait = request.waitMs + kHelperResultMarginMs;
        if (broken || helper.Receive(report, wait) != CHelperProcess::Received::Report ||
            report.kind != HelperReportKind::EchoResult || report.address != address) {
            // Refused, stuck, or out of step: no more of it.
            helper.End(0);
            broken = true;
            return false;
        }
        outcome.sent = report.sent ? report.sent : -1;
        outcome.answered = report.answered;
        if (++received == request.count)
            helper.End(kHelperEndMs);
        return true;
    }

private:
    HelperRequest request;
    CHelperProcess helper;
    std::size_t received = 0;
    bool broken = false;
};

}  // namespace

std::unique_ptr<CEchoSweep> StartHelperEchoSweep(const CInterfaceAddress& own,
                                                 std::span<const std::uint32_t> addresses, int waitMs)
{
    // The hosts of own's network among the addresses: one run, as the
    // addresses ascend and a network is one block.
    HelperRequest request(HelperRequestKind::EchoSweep, own.name);
    request.waitMs = static_cast<std::uint16_t>(waitMs);
    for (const std::uint32_t address : addresses) {
        if (!IsEchoTarget(address, own.address, own.netmask))
            continue;
        if (request.count == 0)
            request.first = address;
        if (request.count == kEchoSweepMax || EchoSweepAddress(request.first, request.count) != address)
            break;
        ++request.count;
    }
    auto sweep = std::make_unique<CHelperEchoSweep>(request);
    if (!sweep->Start())
        return nullptr;
    return sweep;
}

std::unique_ptr<CEchoSocket> OpenEchoSocket()
{
    int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        PassOnlyEchoReplies(fd);
        return std::make_unique<CIcmpSocket>(fd, true, 0);
    }
    // Allowed only to the groups in net.ipv4.ping_group_range.
    fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return nullptr;
    std::uint16_t identifier = 0;
    if (!BindDatagramIdentifier(fd, identifier)) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<CIcmpSocket>(fd, false, identifier);
}
