#pragma once
// An ICMP socket for one echo probe. Where the process may open a raw ICMP
// socket it gets one; where it may not, the kernel's unprivileged ICMP
// datagram socket (allowed to the groups in net.ipv4.ping_group_range),
// which sets the echo identifier itself and delivers replies without their
// IP header; failing both, a raw socket that the capture helper opens and
// passes over, so that the program itself never needs a capability.

#include <cstdint>
#include <memory>
#include <span>

class CEchoSocket {
public:
    virtual ~CEchoSocket() = default;

    // True when each received datagram starts with its IP header.
    virtual bool DeliversIpHeader() const = 0;
    // The identifier field, read low byte first, that replies to this socket
    // carry. A raw socket uses the low 16 bits of the process id.
    virtual std::uint16_t Identifier(std::uint32_t processId) const = 0;

    // Each returns 0 or the errno value of the failure.
    virtual int SetNonBlocking() = 0;
    virtual int SetReceiveTimeout(int milliseconds) = 0;
    virtual int SetSendTimeout(int milliseconds) = 0;

    // Both return the byte count, or -1 with error set to the errno value.
    // address and sender are address bytes in network order.
    virtual long SendTo(std::uint32_t address, std::span<const std::uint8_t> bytes,
                        int& error) = 0;
    virtual long ReceiveFrom(std::span<std::uint8_t> buffer, std::uint32_t& sender,
                             int& error) = 0;
};

// Null when no kind of socket can be had.
std::unique_ptr<CEchoSocket> OpenEchoSocket();

// While one exists (a sweep), the raw socket that the helper passes over is
// kept and lent to each probe in turn, rather than the helper being started
// for every probe; a helper that refused is not asked again.
class CEchoSocketSession {
public:
    CEchoSocketSession();
    ~CEchoSocketSession();
    CEchoSocketSession(const CEchoSocketSession&) = delete;
    CEchoSocketSession& operator=(const CEchoSocketSession&) = delete;
};
