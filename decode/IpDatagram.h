#pragma once
// The decoder of one IPv4 datagram: filter match, decoded text, record fields.

#include <cstddef>
#include <cstdint>
#include <span>

#include "capture/PacketRecord.h"

inline constexpr std::size_t kReceiveBufferSize = 65535;
inline constexpr std::size_t kDecodedTextSize = 66047;
inline constexpr std::size_t kDecoderTextSize = 10240;

// Matches the datagram (the first receivedLength bytes of buffer; bytes beyond
// either bound read as zero) against the four filter lists. When accepted, it
// writes the decoded text into text (its length into textLength, message bytes
// included) and fills record. Returns the IP header length in bytes.
//
// Nothing is read outside the datagram and nothing is written outside text:
// the text is cut short at the end of the span (a zero follows it when there
// is room, the area is never cleared first). An accepted record keeps a copy
// of the datagram; its message is what lies behind both header lengths, empty
// when the headers claim more than was received, and the record shows it only
// with messages set.
// Only complete filter entries take part when an address list and its port
// list differ in length.
int DecodeIpDatagram(std::span<const std::uint8_t> buffer, std::uint32_t receivedLength,
                     int& accepted, std::span<char> text, int& textLength,
                     std::span<const std::uint32_t> srcAddrs,
                     std::span<const std::uint32_t> destAddrs,
                     std::span<const std::uint16_t> srcPorts,
                     std::span<const std::uint16_t> destPorts, int fullInfo, int messages,
                     CPacketRecord& record);
