#pragma once
// Finding the IPv4 datagram inside a captured frame: the link layers a
// capture can come with, and where each puts its payload.

#include <cstdint>

struct Ipv4Span {
    std::uint32_t offset = 0;   // first byte of the IP header in the frame
    std::uint32_t length = 0;   // captured bytes that belong to the datagram
};

// Whether frames of this link type (a DLT_ value as libpcap reports it) can
// be searched for IPv4 datagrams.
bool IsSupportedLinkType(int linkType);

// Finds the IPv4 datagram in the first `captured` bytes of `frame`. False
// when the frame carries something else, or is cut inside its link header.
// The length leaves out link-layer padding (the datagram's own total length
// bounds it when the header is intact) and never exceeds 65535.
bool LocateIpv4Datagram(int linkType, const std::uint8_t* frame, std::uint32_t captured,
                        Ipv4Span& datagram);
