#pragma once
// Builds real-looking IPv4 datagrams and runs them through DecodeIpDatagram.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "decode/IpDatagram.h"

using Bytes = std::vector<std::uint8_t>;

// A 20-byte header (longer with option words) from 192.168.1.<source3> to
// 192.168.1.<destination3>, in front of payload.
inline Bytes Ipv4(std::uint8_t protocol, std::initializer_list<std::uint8_t> payload, std::uint8_t source3 = 10,
                  std::uint8_t destination3 = 20, std::size_t optionWords = 0) {
    Bytes d{static_cast<std::uint8_t>(0x45 + optionWords), 0, 0, 0, 0x1c, 0x46, 0x40, 0, 64, protocol, 0xb1, 0xe6,
            192, 168, 1, source3, 192, 168, 1, destination3};
    d.resize(20 + 4 * optionWords, 0x01);
    d.insert(d.end(), payload.begin(), payload.end());
    d[2] = static_cast<std::uint8_t>(d.size() >> 8);
    d[3] = static_cast<std::uint8_t>(d.size());
    return d;
}

// The four address bytes in network order, as the filter lists hold them.
inline std::uint32_t Address(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    const std::uint8_t bytes[4] = {a, b, c, d};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

struct Filters {
    std::vector<std::uint32_t> srcAddrs, destAddrs;
    std::vector<std::uint16_t> srcPorts, destPorts;
};

struct Decoded {
    int accepted = -1, textLength = -1, returned = -1;
    std::string text;          // textLength bytes of the area
    bool terminated = false;   // a zero right behind the text
    bool guardIntact = false;  // nothing written behind the span
    std::unique_ptr<CPacketRecord> record = std::make_unique<CPacketRecord>();
    std::string Message() const {
        const auto bytes = record->Message().bytes;
        return std::string(bytes.begin(), bytes.end());
    }
};

inline Decoded Decode(const Bytes& datagram, bool fullInfo, bool messages = false, const Filters& f = {},
                      std::size_t receivedLength = SIZE_MAX, std::size_t areaSize = kDecodedTextSize) {
    Decoded r;
    // Not cleared, as the capture loop leaves it, with a guard behind the span.
    std::vector<char> area(areaSize + 16, '#');
    const auto length = static_cast<std::uint32_t>(receivedLength == SIZE_MAX ? datagram.size() : receivedLength);
    r.returned = DecodeIpDatagram(datagram, length, r.accepted, std::span(area).first(areaSize), r.textLength,
                                  f.srcAddrs, f.destAddrs, f.srcPorts, f.destPorts, fullInfo, messages, *r.record);
    if (r.accepted == 1) {
        const auto end = static_cast<std::size_t>(r.textLength);
        r.text.assign(area.data(), end);
        r.terminated = end < areaSize && area[end] == '\0';
    }
    r.guardIntact = std::string(area.end() - 16, area.end()) == std::string(16, '#');
    return r;
}

inline std::string ProtocolText(const Bytes& d, bool fullInfo) { return Decode(d, fullInfo).record->protocolText; }

// The text every accepted datagram from Ipv4() starts with, reduced info.
inline const std::string kReducedIpText = "IP HEADER\tSrc Addr: 192.168.1.10   \tDest Addr: 192.168.1.20   \t";
