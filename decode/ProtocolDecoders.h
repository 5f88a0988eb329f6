#pragma once
// The protocol decoders: one per IP protocol, all alike. Each takes the
// datagram (buffer and received length), the IP header length (where its own
// header starts), sets decoderHeaderLength to the fixed size it counts as its
// header, and appends its pieces to text. TCP, UDP and SCTP also write their
// two ports into the record's port fields. Every read goes through
// CDatagramReader, so any datagram, however short, is safe to hand over.

#include <cstddef>
#include <cstdint>
#include <span>

#include "decode/TextAppender.h"

using Datagram = std::span<const std::uint8_t>;
using PortField = std::span<char, 16>;

// TCP and UDP
void DecodeTcp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, PortField sourcePort,
               PortField destinationPort, bool fullInfo);
void DecodeUdp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, PortField sourcePort,
               PortField destinationPort, bool fullInfo);

// ICMP, IGMP and ICMPv6
void DecodeIcmp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeIgmp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeIcmpv6(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                  std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);

// Encapsulation, security and SCTP
void DecodeGre(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeIpInIp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                  std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeIfmp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeMep(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeAh(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
              std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeIppcp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                 std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeSctp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, PortField sourcePort,
                PortField destinationPort, bool fullInfo);

// Protocols that are named but whose fields are not rendered
void DecodeNvp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeTmux(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeHmp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeRdp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeIrtp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeNetblt(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                  std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeIdrp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeSkip(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeVmtp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeMtp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodePim(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeEsp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);

// Routing and signalling
void DecodeOspf(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeRsvp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeSdrp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeVrrp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeCbt(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeGgp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
void DecodeNarp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo);
