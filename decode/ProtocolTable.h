#pragma once
// Which decoder, and which name, belongs to each IP protocol number.

#include <cstdint>
#include <string_view>

#include "decode/ProtocolDecoders.h"

using ProtocolDecoder = void (*)(Datagram, std::uint32_t, std::size_t, std::uint16_t&, CTextAppender&, bool);
// TCP, UDP and SCTP also fill the record's two port fields.
using PortProtocolDecoder = void (*)(Datagram, std::uint32_t, std::size_t, std::uint16_t&, CTextAppender&,
                                     PortField, PortField, bool);

struct ProtocolEntry {
    std::uint8_t number;
    std::string_view name;
    ProtocolDecoder decode;               // exactly one of the two is set
    PortProtocolDecoder decodeWithPorts;
};

inline constexpr std::string_view kUnknownProtocolName = "<unknown>";

// The entry for an IP protocol number, or null for a protocol without decoder.
const ProtocolEntry* FindProtocol(std::uint8_t number);
