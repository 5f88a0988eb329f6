// Encapsulation, security and SCTP: datagrams that carry another header or a
// security or transport header, read as fixed fields at fixed offsets.

#include <array>
#include <string_view>

#include "decode/ProtocolDecoders.h"

namespace {

constexpr std::array<std::string_view, 8> kPrecedences{
    "Precedence Routine\t",        "Precedence Priority\t",
    "Precedence Immediate\t",      "Precedence Flash\t",
    "Precedence Flash Override\t", "Precedence CRITIC/ESP\t",
    "Precedence Internetwork Control\t", "Precedence Network Control\t",
};

struct FlagPieces {
    unsigned mask;
    std::string_view set;
    std::string_view clear;
};

constexpr std::array<FlagPieces, 4> kServiceBits{{
    {0x10, "D bit: minimize delay set to Low delay\t", "D bit: minimize delay set to Normal delay\t"},
    {0x08, "T bit: minimize throughput set to High throughput\t",
     "T bit: minimize throughput set to Normal throughput\t"},
    {0x04, "R bit: maximize reliability set to High reliability\t",
     "R bit: maximize reliability set to Normal reliability\t"},
    {0x02, "M bit: minimize monetary cost set to Minimize monetary\t",
     "M bit: minimize monetary cost set to Normal monetary\t"},
}};

constexpr std::array<FlagPieces, 2> kFragmentFlags{{
    {0x4000, "Don't Fragment flag set to 1\t", "Don't Fragment flag set to 0\t"},
    {0x2000, "More Fragments flag set to 1\t", "More Fragments flag set to 0\t"},
}};

constexpr std::array<FlagPieces, 5> kGreFlags{{
    {0x80, "C, Checksum Present\t", "C, Checksum NOT Present\t"},
    {0x40, "R, Routing Present\t", "R, Routing NOT Present\t"},
    {0x20, "K, Key Present\t", "K, Key NOT Present\t"},
    {0x10, "S, Sequence Number Present\t", "S, Sequence Number NOT Present\t"},
    {0x08, "s, Strict Source Route Present\t", "s, Strict Source Route NOT Present\t"},
}};

template <std::size_t N>
void AppendFlags(const std::array<FlagPieces, N>& flags, unsigned value, CTextAppender& text) {
    for (const FlagPieces& flag : flags) text.Literal(value & flag.mask ? flag.set : flag.clear);
}

void AddressPieces(const CDatagramReader& header, std::size_t sourceOffset, std::size_t destinationOffset,
                   CTextAppender& text) {
    text.Literal("Src Addr: ");
    text.Dotted(header.Address(sourceOffset), 15);
    text.Literal("\tDest Addr: ");
    text.Dotted(header.Address(destinationOffset), 15);
    text.Literal("\t");
}

// The carried IPv4 header of IFMP and MEP, printed plainly.
void DecodeInnerHeaderPlain(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                            std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo,
                            std::string_view heading) {
    decoderHeaderLength = 16;
    text.Literal(heading);
    const CDatagramReader inner = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    if (fullInfo) {
        const std::uint16_t flagsAndOffset = inner.U16(6);
        text.Field("Version: ", inner.U8(0) >> 4);
        text.Field("IHL: ", inner.U8(0) & 0x0F);
        text.Field("TOS field value: ", inner.U8(1));
        text.Field("Total Length: ", inner.U16(2));
        text.Field("Identification: ", inner.U16(4));
        text.Field("Flags field value: ", flagsAndOffset >> 13);
        text.Field("Fragment Offset: ", flagsAndOffset & 0x1FFF);
        text.Field("TTL: ", inner.U8(8));
        text.Field("Protocol: ", inner.U8(9));
    }
    AddressPieces(inner, 12, 16, text);
}

}  // namespace

void DecodeIpInIp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                  std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 16;
    text.Literal("IPinIP PACKET\t");
    const CDatagramReader inner = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    if (fullInfo) {
        const std::uint8_t serviceType = inner.U8(1);
        const std::uint16_t flagsAndOffset = inner.U16(6);
        text.Field("Version: ", inner.U8(0) >> 4);
        text.Field("IHL: ", inner.U8(0) & 0x0F);
        text.Literal(kPrecedences[serviceType >> 5]);
        AppendFlags(kServiceBits, serviceType, text);
        text.Field("Total Length: ", inner.U16(2));
        text.Field("Identification: ", inner.U16(4));
        AppendFlags(kFragmentFlags, flagsAndOffset, text);
        text.Field("Fragment Offset: ", flagsAndOffset & 0x1FFF);
        text.Field("TTL: ", inner.U8(8));
        text.Field("Protocol: ", inner.U8(9));
    }
    AddressPieces(inner, 12, 16, text);
}

void DecodeIfmp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    DecodeInnerHeaderPlain(buffer, receivedLength, ipHeaderLength, decoderHeaderLength, text, fullInfo,
                           "IFMP PACKET\t");
}

void DecodeMep(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    DecodeInnerHeaderPlain(buffer, receivedLength, ipHeaderLength, decoderHeaderLength, text, fullInfo,
                           "MEP PACKET\t");
}

void DecodeGre(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 16;
    text.Literal("GRE PACKET\t");
    if (!fullInfo) return;
    // The four fields behind the protocol type sit at fixed offsets whatever
    // the flags say; only the version byte changes their meaning.
    const CDatagramReader header = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    const std::uint8_t version = header.U8(1);
    AppendFlags(kGreFlags, header.U8(0), text);
    if (version == 0) text.Literal("Version: 0\t");
    if (version == 1) text.Literal("Version: 1\t");
    text.Field("Protocol Type: ", header.U16(2));
    if (version == 0) {
        text.Field("Chksum: ", header.U16(4));
        text.Field("Offset: ", header.U16(6));
        text.Field("Key: ", header.S32(8));
        text.Field("Sequence Number: ", header.S32(12));
    } else {
        // Unknown versions show the enhanced layout's fields as they lie in
        // the datagram rather than hiding them behind zeros.
        text.Field("Payload Len:: ", header.U16(4));
        text.Field("Call ID: ", header.U16(6));
        text.Field("Sequence Number: ", header.S32(8));
        text.Field("Acknowledgment Number: ", header.S32(12));
    }
}

void DecodeAh(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
              std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 12;
    text.Literal("AH PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader header = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    text.Field("Next header: ", header.U8(0));
    text.Field("Size of auth. data: ", header.U8(1));
    text.Field("SPI: ", header.S32(4));
    text.Field("Sequence Number: ", header.S32(8));
}

void DecodeIppcp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                 std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 4;
    text.Literal("IPPCP PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader header = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    text.Field("Next header: ", header.U8(0));
    text.Field("Flags: ", header.U8(1));
    text.Field("Compression parameter index: ", header.U16(2));
}

void DecodeSctp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, PortField sourcePort,
                PortField destinationPort, bool fullInfo) {
    decoderHeaderLength = 12;
    const CDatagramReader header = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    const std::uint16_t source = header.U16(0);
    const std::uint16_t destination = header.U16(2);
    WriteDecimalField(sourcePort, source);
    WriteDecimalField(destinationPort, destination);
    text.Literal("SCTP PACKET\t");
    text.Field("Src Port: ", source);
    text.Field("Dest Port: ", destination);
    if (!fullInfo) return;
    text.Field("Verification tag: ", header.S32(4));
    text.Field("Chksum: ", header.S32(8));
}
