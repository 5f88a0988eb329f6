// TCP and UDP: the two ports go to the record for the packet list as well as
// into the text.

#include <array>
#include <string_view>

#include "decode/ProtocolDecoders.h"

namespace {

struct ControlBit {
    std::uint8_t mask;
    std::string_view name;
};
constexpr std::array<ControlBit, 6> kControlBits{{
    {0x20, "URG "},
    {0x10, "ACK "},
    {0x08, "PSH "},
    {0x04, "RST "},
    {0x02, "SYN "},
    {0x01, "FIN "},
}};

// Both decoders start alike: ports into the record, then the ports piece.
void TakePorts(const CDatagramReader& header, CTextAppender& text, PortField sourcePort,
               PortField destinationPort) {
    const std::uint16_t source = header.U16(0);
    const std::uint16_t destination = header.U16(2);
    WriteDecimalField(sourcePort, source);
    WriteDecimalField(destinationPort, destination);
    text.Literal("Source Port: ");
    text.LeftAligned(source, 5);
    text.Literal("\tDest Port: ");
    text.LeftAligned(destination, 5);
    text.Literal("\t");
}

}  // namespace

void DecodeTcp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, PortField sourcePort,
               PortField destinationPort, bool fullInfo) {
    // The data offset is not read: options stay in the message.
    decoderHeaderLength = 20;
    const CDatagramReader header = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    text.Literal("TCP PACKET\t");
    TakePorts(header, text, sourcePort, destinationPort);
    if (!fullInfo) return;

    text.Literal("Flags: Control Bits: ");
    const std::uint8_t bits = header.U8(13);
    for (const ControlBit& bit : kControlBits) {
        if (bits & bit.mask) text.Literal(bit.name);
    }
    text.Literal("\t");
    text.Field("Window size: ", header.U16(14));
    text.Field("TCP Chksum: ", header.U16(16));
    text.Field("Seq Num: ", header.S32(4));
    text.Field("ACK Num: ", header.S32(8));
    text.Field("Urgent ptr: ", header.U16(18));
}

void DecodeUdp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, PortField sourcePort,
               PortField destinationPort, bool fullInfo) {
    // Counted as 0 so the message keeps the whole UDP header.
    decoderHeaderLength = 0;
    const CDatagramReader header = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    text.Literal("UDP PACKET:\t");
    TakePorts(header, text, sourcePort, destinationPort);
    if (!fullInfo) return;

    text.Literal("UDP Len: ");
    text.LeftAligned(header.U16(4), 5);
    text.Literal("\tChkSum: 0x");
    text.Hex(header.U16(6), 8, HexDigits::Lower);
    text.Literal("\t");
}
