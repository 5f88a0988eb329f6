#pragma once
// The echo request the scan sends and the check of what comes back.

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t kEchoRequestSize = 12;

// RFC 1071 checksum over bytes summed as words read low byte first; store the
// result low byte first. A buffer carrying its own checksum yields 0.
std::uint16_t IcmpChecksum(std::span<const std::uint8_t> bytes);

// Type 8, code 0, the identifier low byte first, sequence 0, and the probed
// address (network order) as the four data bytes; checksum filled in.
void BuildEchoRequest(std::span<std::uint8_t, kEchoRequestSize> request, std::uint16_t identifier,
                      std::uint32_t address);

// The low 16 bits of the process id, the identifier a raw socket's requests carry.
inline std::uint16_t EchoIdentifier(std::uint32_t processId)
{
    return static_cast<std::uint16_t>(processId & 0xFFFF);
}

// 1 when received is an echo reply whose identifier (read low byte first)
// equals identifier, else 0. With ipHeaderIncluded the datagram starts with
// its IP header, whose length comes from the first byte; without it (the
// unprivileged datagram socket) the ICMP header starts at offset 0.
int IsEchoReplyForUs(std::span<const std::uint8_t> received, std::uint16_t identifier,
                     bool ipHeaderIncluded = true);
