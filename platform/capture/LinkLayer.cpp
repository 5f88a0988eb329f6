#include "platform/capture/LinkLayer.h"

#include <algorithm>
#include <cstring>
#include <pcap/dlt.h>

namespace {

constexpr std::uint32_t kMaxDatagram = 65535;

constexpr std::uint16_t kEtherIpv4 = 0x0800;
constexpr std::uint16_t kEtherPppoeSession = 0x8864;
constexpr std::uint16_t kEtherMplsUnicast = 0x8847;
constexpr std::uint16_t kEtherMplsMulticast = 0x8848;
constexpr std::uint16_t kPppIpv4 = 0x0021;
constexpr std::uint16_t kPppMplsUnicast = 0x0281;
constexpr std::uint16_t kPppMplsMulticast = 0x0283;
constexpr std::uint16_t kMaxEtherLength = 1500;  // below: an 802.3 length, not a type

constexpr std::uint8_t kNflogInet = 2;        // AF_INET
constexpr std::uint8_t kNflogVersion = 0;
constexpr std::uint16_t kNflogPayload = 9;    // NFULA_PAYLOAD
constexpr std::uint16_t kNflogTypeMask = 0x3FFF;  // without the netlink nested and byte-order flags

std::uint16_t Read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

bool IsVlanTag(std::uint16_t type) {
    // 802.1Q, 802.1ad, and the two pre-standard QinQ values still in use.
    return type == 0x8100 || type == 0x88A8 || type == 0x9100 || type == 0x9200;
}

// An MPLS label stack at `pos`: four bytes a label, the last one marked
// bottom of stack. What follows carries no type of its own; IPv4 is told by
// its version nibble, anything else (IPv6, pseudowires) is passed over.
bool MplsCarriesIpv4(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t pos, std::uint32_t& payload) {
    for (bool bottom = false; !bottom; pos += 4) {
        if (pos + 4 > captured) return false;
        bottom = frame[pos + 2] & 1;
    }
    payload = pos;
    return pos < captured && (frame[pos] >> 4) == 4;
}

// PPP protocol field at `pos`, compressed to one byte when its low bit is
// set: IPv4 itself, or MPLS-labelled datagrams.
bool PppCarriesIpv4(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t pos,
                    std::uint32_t& payload) {
    if (pos >= captured) return false;
    if (frame[pos] & 1) {
        payload = pos + 1;
        return frame[pos] == kPppIpv4;
    }
    if (pos + 2 > captured) return false;
    payload = pos + 2;
    const std::uint16_t protocol = Read16(frame + pos);
    if (protocol == kPppMplsUnicast || protocol == kPppMplsMulticast)
        return MplsCarriesIpv4(frame, captured, payload, payload);
    return protocol == kPppIpv4;
}

bool Ppp(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t& payload) {
    std::uint32_t pos = 0;
    if (captured >= 2 && frame[0] == 0xFF && frame[1] == 0x03) pos = 2;  // HDLC-like framing
    return PppCarriesIpv4(frame, captured, pos, payload);
}

// A PPPoE header at `pos` (version and type 0x11, code, session id,
// length), then PPP: only session data (code 0) carries it.
bool PppoeSession(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t pos, std::uint32_t& payload) {
    if (pos + 6 > captured || frame[pos] != 0x11 || frame[pos + 1] != 0x00) return false;
    return PppCarriesIpv4(frame, captured, pos + 6, payload);
}

// An EtherType at `typeAt`, payload from `payloadAt`, after any number of
// VLAN tags (each tag: 2 bytes of tag control, then the next EtherType). An
// 802.3 length in its place is followed by LLC.
bool EtherTyped(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t typeAt,
                std::uint32_t payloadAt, std::uint32_t& payload) {
    if (payloadAt > captured) return false;
    std::uint16_t type = Read16(frame + typeAt);
    std::uint32_t pos = payloadAt;
    while (IsVlanTag(type)) {
        if (pos + 4 > captured) return false;
        type = Read16(frame + pos + 2);
        pos += 4;
    }
    if (type <= kMaxEtherLength) {
        // LLC: IPv4's own service access point, or SNAP (DSAP and SSAP 0xAA,
        // UI, organisation 0) with an EtherType.
        static constexpr std::uint8_t kIpSap[] = {0x06, 0x06, 0x03};
        static constexpr std::uint8_t kSnap[] = {0xAA, 0xAA, 0x03, 0x00, 0x00, 0x00};
        if (pos + sizeof kIpSap <= captured && std::memcmp(frame + pos, kIpSap, sizeof kIpSap) == 0) {
            payload = pos + sizeof kIpSap;
            return true;
        }
        if (pos + 8 > captured || std::memcmp(frame + pos, kSnap, sizeof kSnap) != 0) return false;
        type = Read16(frame + pos + 6);
        pos += 8;
    }
    if (type == kEtherPppoeSession) return PppoeSession(frame, captured, pos, payload);
    if (type == kEtherMplsUnicast || type == kEtherMplsMulticast) return MplsCarriesIpv4(frame, captured, pos, payload);
    payload = pos;
    return type == kEtherIpv4;
}

// Address, control, then an EtherType: IPv4, VLAN-tagged or MPLS-labelled.
bool CiscoHdlc(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t& payload) {
    return captured >= 4 && EtherTyped(frame, captured, 2, 4, payload);
}

// The address family as a 32-bit word in the byte order of whichever host
// wrote it; AF_INET is 2 everywhere.
bool BsdLoopback(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t& payload) {
    if (captured < 4) return false;
    payload = 4;
    std::uint32_t big = (std::uint32_t{frame[0]} << 24) | (std::uint32_t{frame[1]} << 16) |
                        (std::uint32_t{frame[2]} << 8) | frame[3];
    return big == 2 || big == 0x02000000;
}

// Linux NFLOG: the address family, version 0 and a 16-bit resource id (big-
// endian), then TLVs, each a 16-bit length (its own 4 header bytes included)
// and a 16-bit type in the byte order of the host reading the file (libpcap
// swaps them for us), padded to 4 bytes. The payload TLV holds the datagram
// and bounds it.
bool Nflog(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t& payload, std::uint32_t& end) {
    if (captured < 4 || frame[0] != kNflogInet || frame[1] != kNflogVersion) return false;
    for (std::uint32_t pos = 4; captured - pos >= 4;) {
        std::uint16_t length, type;
        std::memcpy(&length, frame + pos, 2);
        std::memcpy(&type, frame + pos + 2, 2);
        if (length < 4) return false;
        if ((type & kNflogTypeMask) == kNflogPayload) {
            // A payload cut short by the capture still gives what was captured.
            payload = pos + 4;
            end = std::min(pos + length, captured);
            return payload < end && (frame[payload] >> 4) == 4;
        }
        const std::uint32_t next = (std::uint32_t{length} + 3) & ~3u;
        if (next > captured - pos) return false;
        pos += next;
    }
    return false;
}

bool RawIp(const std::uint8_t* frame, std::uint32_t captured, std::uint32_t& payload) {
    payload = 0;
    return captured > 0 && (frame[0] >> 4) == 4;
}

// The datagram's first byte in `payload`; `end`, set only where the link
// layer says so, bounds it before the captured length.
bool FindPayload(int linkType, const std::uint8_t* frame, std::uint32_t captured,
                 std::uint32_t& payload, std::uint32_t& end) {
    switch (linkType) {
    case DLT_EN10MB:
        return captured >= 14 && EtherTyped(frame, captured, 12, 14, payload);
    case DLT_LINUX_SLL:
        return captured >= 16 && EtherTyped(frame, captured, 14, 16, payload);
    case DLT_LINUX_SLL2:
        return captured >= 20 && EtherTyped(frame, captured, 0, 20, payload);
    case DLT_RAW:
        return RawIp(frame, captured, payload);
    case DLT_IPV4:
        payload = 0;
        return captured > 0;
    case DLT_NULL:
    case DLT_LOOP:
        return BsdLoopback(frame, captured, payload);
    case DLT_PPP:
        return Ppp(frame, captured, payload);
    case DLT_PPP_SERIAL:
        // PPP in HDLC-like framing, or Cisco HDLC on the same kind of line.
        if (captured >= 1 && (frame[0] == 0x0F || frame[0] == 0x8F))
            return CiscoHdlc(frame, captured, payload);
        return Ppp(frame, captured, payload);
    case DLT_C_HDLC:
        return CiscoHdlc(frame, captured, payload);
    case DLT_PPP_ETHER:
        return PppoeSession(frame, captured, 0, payload);
    case DLT_NFLOG:
        return Nflog(frame, captured, payload, end);
    default:
        return false;
    }
}

}  // namespace

bool IsSupportedLinkType(int linkType) {
    switch (linkType) {
    case DLT_EN10MB:
    case DLT_LINUX_SLL:
    case DLT_LINUX_SLL2:
    case DLT_RAW:
    case DLT_IPV4:
    case DLT_NULL:
    case DLT_LOOP:
    case DLT_PPP:
    case DLT_PPP_SERIAL:
    case DLT_C_HDLC:
    case DLT_PPP_ETHER:
    case DLT_NFLOG:
        return true;
    default:
        return false;
    }
}

bool LocateIpv4Datagram(int linkType, const std::uint8_t* frame, std::uint32_t captured,
                        Ipv4Span& datagram) {
    std::uint32_t payload = 0, end = captured;
    if (!FindPayload(linkType, frame, captured, payload, end) || payload >= end) return false;
    std::uint32_t length = end - payload;
    const std::uint8_t* ip = frame + payload;
    // Short frames are padded to the link's minimum; the datagram's total
    // length says where it really ends. A length that cannot be right (too
    // small, or beyond what was captured) is not trusted.
    if (length >= 4 && (ip[0] >> 4) == 4) {
        std::uint32_t total = Read16(ip + 2);
        if (total >= 20 && total < length) length = total;
    }
    if (length > kMaxDatagram) length = kMaxDatagram;
    datagram.offset = payload;
    datagram.length = length;
    return true;
}
