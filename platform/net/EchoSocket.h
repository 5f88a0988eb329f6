#pragma once
// An ICMP socket for one echo probe. Where the process may open a raw ICMP
// socket it gets one; where it may not, the kernel's unprivileged ICMP
// datagram socket (allowed to the groups in net.ipv4.ping_group_range),
// which sets the echo identifier itself and delivers replies without their
// IP header. Failing both, a sweep goes through the capture helper's echo
// service: the helper sends the requests on a raw socket that never leaves
// it, so that the program itself never needs a capability.

#include <cstdint>
#include <memory>
#include <span>

#include "platform/net/InterfaceList.h"

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

// Null when this process may open neither kind.
std::unique_ptr<CEchoSocket> OpenEchoSocket();

// What the echo service did for one address of a sweep.
struct CEchoOutcome {
    long sent = -1;         // bytes sent, -1 when nothing was
    bool answered = false;  // an echo reply came from the address within the wait
};

class CEchoSweep {
public:
    virtual ~CEchoSweep() = default;
    // The outcome for address, the next one of the sweep's addresses in their
    // order; false once the service has ended (it refused or broke down).
    virtual bool Next(std::uint32_t address, CEchoOutcome& outcome) = 0;
};

// A sweep of addresses (network order, ascending) by the capture helper,
// waitMs for each: only those that are hosts of own's network get a request
// (the helper refuses any other); the others have outcomes without a send.
// Null when the helper cannot be started.
std::unique_ptr<CEchoSweep> StartHelperEchoSweep(const CInterfaceAddress& own,
                                                 std::span<const std::uint32_t> addresses, int waitMs);
