#include "platform/net/EchoSocket.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/icmp.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/helper/HelperProcess.h"

namespace {

constexpr int kHelperAnswerMs = 2000;
constexpr int kHelperEndMs = 100;
// Bounds the draining of what queued while a kept socket was idle.
constexpr int kMaxStale = 1024;

// The helper's socket kept for the sessions: -1 none yet, -2 the helper refused.
std::mutex keptMutex;
int sessions = 0;
int keptFd = -1;
int lent = 0;

void SetIcmpFilter(int fd, std::uint32_t blocked)
{
    icmp_filter filter{blocked};
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
}

// Other ICMP traffic (the unreachables of neighbours that never resolve, other
// programs' echoes) would otherwise sit in front of the reply we wait for.
void PassOnlyEchoReplies(int fd) { SetIcmpFilter(fd, ~(1U << ICMP_ECHOREPLY)); }

// A kept socket between probes lets nothing in.
void PassNothing(int fd) { SetIcmpFilter(fd, ~0U); }

class CIcmpSocket final : public CEchoSocket {
public:
    CIcmpSocket(int descriptor, bool raw, std::uint16_t datagramIdentifier, bool kept = false)
        : fd(descriptor), rawSocket(raw), boundIdentifier(datagramIdentifier), lentFromKept(kept) {}
    ~CIcmpSocket() override
    {
        if (lentFromKept) {
            std::lock_guard lock(keptMutex);
            if (--lent == 0)
                PassNothing(fd);
        }
        close(fd);
    }

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
    bool lentFromKept;
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

bool IsRawIcmpSocket(int fd)
{
    int domain = 0, type = 0, protocol = 0;
    socklen_t size = sizeof domain;
    if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) != 0 || domain != AF_INET)
        return false;
    size = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_RAW)
        return false;
    size = sizeof protocol;
    return getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &size) == 0 && protocol == IPPROTO_ICMP;
}

// A raw ICMP socket opened by the capture helper; -1 when it gives none.
int SocketFromHelper()
{
    CHelperProcess helper;
    if (helper.Start(LocateCaptureHelper()) != 0 || !helper.Send(HelperRequest{HelperRequestKind::EchoSocket}))
        return -1;
    HelperReport report;
    int fd = -1;
    const bool answered = helper.Receive(report, kHelperAnswerMs, &fd) == CHelperProcess::Received::Report &&
                          report.kind == HelperReportKind::EchoSocket;
    helper.End(kHelperEndMs);
    if (fd >= 0 && (!answered || !IsRawIcmpSocket(fd))) {
        close(fd);
        fd = -1;
    }
    return fd;
}

std::unique_ptr<CEchoSocket> HelperSocket()
{
    std::lock_guard lock(keptMutex);
    if (sessions == 0) {
        const int fd = SocketFromHelper();
        if (fd < 0)
            return nullptr;
        PassOnlyEchoReplies(fd);
        return std::make_unique<CIcmpSocket>(fd, true, 0);
    }
    if (keptFd == -1) {
        const int fd = SocketFromHelper();
        keptFd = fd < 0 ? -2 : fd;
    }
    if (keptFd < 0)
        return nullptr;
    const int fd = fcntl(keptFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    PassOnlyEchoReplies(fd);
    // Whatever slipped in while it was idle would stand before this probe's reply.
    char stale[64];
    for (int i = 0; i < kMaxStale && recv(fd, stale, sizeof stale, MSG_DONTWAIT) >= 0; ++i) {
    }
    ++lent;
    return std::make_unique<CIcmpSocket>(fd, true, 0, true);
}

}  // namespace

CEchoSocketSession::CEchoSocketSession()
{
    std::lock_guard lock(keptMutex);
    ++sessions;
}

CEchoSocketSession::~CEchoSocketSession()
{
    std::lock_guard lock(keptMutex);
    if (--sessions == 0) {
        // Sockets still lent hold their own descriptors.
        if (keptFd >= 0)
            close(keptFd);
        keptFd = -1;
    }
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
        return HelperSocket();
    std::uint16_t identifier = 0;
    if (!BindDatagramIdentifier(fd, identifier)) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<CIcmpSocket>(fd, false, identifier);
}
