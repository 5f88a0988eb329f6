#include "decode/IpDatagram.h"

#include <climits>
#include <memory>

#include "decode/DatagramReader.h"
#include "decode/ProtocolTable.h"
#include "decode/TextAppender.h"

namespace {

struct IpHeader {
    std::uint8_t version;
    std::size_t headerLength;  // bytes
    std::uint8_t typeOfService;
    std::uint16_t totalLength;
    std::uint16_t identification;
    std::uint8_t flags;
    std::uint16_t fragmentOffset;
    std::uint8_t timeToLive;
    std::uint8_t protocol;
    std::uint16_t checksum;
    IpAddressBytes source;
    IpAddressBytes destination;
};

// Taken as it is: neither the version, the checksum nor the total length is checked.
IpHeader TakeIpHeader(const CDatagramReader& datagram) {
    IpHeader h;
    const std::uint8_t first = datagram.U8(0);
    h.version = first >> 4;
    h.headerLength = static_cast<std::size_t>(first & 0x0F) * 4;
    h.typeOfService = datagram.U8(1);
    h.totalLength = datagram.U16(2);
    h.identification = datagram.U16(4);
    h.flags = datagram.U8(6) >> 5;
    h.fragmentOffset = datagram.U16(6) & 0x1FFF;
    h.timeToLive = datagram.U8(8);
    h.protocol = datagram.U8(9);
    h.checksum = datagram.U16(10);
    h.source = datagram.Address(12);
    h.destination = datagram.Address(16);
    return h;
}

bool CarriesPorts(std::uint8_t protocol) { return protocol == 2 || protocol == 6 || protocol == 17 || protocol == 132; }

// An entry is an address and its port (0: any port). A damaged set may hold
// lists of different lengths: only complete entries take part.
bool MatchesEntry(std::span<const std::uint32_t> addrs, std::span<const std::uint16_t> ports, std::uint32_t address,
                  std::uint16_t port) {
    const std::size_t entries = std::min(addrs.size(), ports.size());
    for (std::size_t i = 0; i < entries; ++i) {
        if (addrs[i] == address && (ports[i] == 0 || ports[i] == port)) return true;
    }
    return false;
}

bool Accepts(const CDatagramReader& datagram, const IpHeader& h, std::span<const std::uint32_t> srcAddrs,
             std::span<const std::uint32_t> destAddrs, std::span<const std::uint16_t> srcPorts,
             std::span<const std::uint16_t> destPorts) {
    // An empty source list lets everything through, whatever the destination list holds.
    if (srcAddrs.empty()) return true;
    // Protocols without ports are never scanned, so a non-empty list rejects them.
    if (!CarriesPorts(h.protocol)) return false;
    // For IGMP these are simply the message's first two 16-bit words.
    const std::uint16_t sourcePort = datagram.U16(h.headerLength);
    const std::uint16_t destinationPort = datagram.U16(h.headerLength + 2);
    return MatchesEntry(srcAddrs, srcPorts, datagram.AddressWord(12), sourcePort) ||
           MatchesEntry(destAddrs, destPorts, datagram.AddressWord(16), destinationPort);
}

void AppendIpHeaderFull(const IpHeader& h, CTextAppender& text) {
    text.Literal("IP Version: ");
    text.LeftAligned(h.version, 10);
    text.Literal("\tIP Header Len: ");
    text.RightAligned(static_cast<std::int32_t>(h.headerLength), 2);
    text.Literal(" bytes\tIP TOS: ");
    text.Hex(h.typeOfService >> 4, 0);
    text.Hex(h.typeOfService & 0x0F, 0);
    text.Literal(" (hex)\tIP Total Len: ");
    text.LeftAligned(h.totalLength, 5);
    text.Literal(" bytes\tIdentification: 0x");
    text.Hex(h.identification, 8);
    text.Literal("\tIP Flags: ");
    text.Hex(h.flags, 0);
    text.Literal(" (hex)\tFrag Offset: 0x");
    text.Hex(h.fragmentOffset, 8);
    text.Literal("\tTTL: ");
    text.LeftAligned(h.timeToLive, 10);
    text.Literal("\tHdr Checksum: 0x");
    text.Hex(h.checksum, 8);
    text.Literal("\t");
}

void WriteAddressField(std::span<char> field, const IpAddressBytes& address) {
    CTextAppender out(field.first(field.size() - 1));
    out.Dotted(address);
    field[out.Length()] = '\0';
}

// Runs the protocol's decoder with the record's protocolText as its text
// area (every decoder's text is shorter than that field) and copies the
// result behind the header pieces. Returns the decoder header length.
std::uint16_t DecodeProtocol(std::span<const std::uint8_t> buffer, std::uint32_t length, const IpHeader& h,
                             bool fullInfo, CTextAppender& text, CPacketRecord& record) {
    std::uint16_t decoderHeaderLength = 0;
    const ProtocolEntry* entry = FindProtocol(h.protocol);
    if (entry == nullptr) {
        text.Literal("(No decoder installed for protocol with IP_PROTO = ");
        text.Decimal(h.protocol);
        text.Literal(")");
        record.protocolText[0] = '\0';
        WriteTextField(record.protocolName, kUnknownProtocolName);
        return decoderHeaderLength;
    }
    CTextAppender own(std::span(record.protocolText).first(sizeof record.protocolText - 1));
    if (entry->decodeWithPorts != nullptr) {
        entry->decodeWithPorts(buffer, length, h.headerLength, decoderHeaderLength, own, PortField(record.sourcePort),
                               PortField(record.destinationPort), fullInfo);
    } else {
        entry->decode(buffer, length, h.headerLength, decoderHeaderLength, own, fullInfo);
    }
    record.protocolText[own.Length()] = '\0';
    text.Literal(own.Text());
    WriteTextField(record.protocolName, entry->name);
    return decoderHeaderLength;
}

// With the messages flag: everything behind the two header lengths, as the
// record keeps it, goes behind the text as far as the area allows.
void AppendMessage(const CPacketRecord& record, CTextAppender& text) {
    text.Literal("\r\nIP MESSAGE:\r\n");
    const CHeldBytes message = record.Message();
    text.Bytes(message.bytes.data(), message.bytes.size());
}

}  // namespace

int DecodeIpDatagram(std::span<const std::uint8_t> buffer, std::uint32_t receivedLength, int& accepted,
                     std::span<char> text, int& textLength, std::span<const std::uint32_t> srcAddrs,
                     std::span<const std::uint32_t> destAddrs, std::span<const std::uint16_t> srcPorts,
                     std::span<const std::uint16_t> destPorts, int fullInfo, int messages, CPacketRecord& record) {
    accepted = 0;
    const CDatagramReader datagram(buffer, receivedLength);
    const IpHeader h = TakeIpHeader(datagram);
    const int headerLength = static_cast<int>(h.headerLength);
    if (!Accepts(datagram, h, srcAddrs, destAddrs, srcPorts, destPorts)) return headerLength;
    accepted = 1;

    // What the reader can see is the datagram: a length that claims more than
    // the buffer holds does not make up bytes.
    const auto length = static_cast<std::uint32_t>(datagram.Size());
    WriteDecimalField(record.lengthText, static_cast<std::int32_t>(std::min<std::uint32_t>(length, INT_MAX)));

    CTextAppender out(text);
    out.Literal("IP HEADER\t");
    if (fullInfo) AppendIpHeaderFull(h, out);
    out.Literal("Src Addr: ");
    out.Dotted(h.source, 15);
    out.Literal("\tDest Addr: ");
    out.Dotted(h.destination, 15);
    out.Literal("\t");
    WriteAddressField(record.sourceAddress, h.source);
    WriteAddressField(record.destinationAddress, h.destination);

    const std::uint16_t decoderHeaderLength = DecodeProtocol(buffer.first(length), length, h, fullInfo != 0, out, record);
    record.KeepDatagram(buffer.first(length), h.headerLength + decoderHeaderLength, messages != 0);
    if (messages) AppendMessage(record, out);
    out.Terminate();
    textLength = static_cast<int>(std::min<std::size_t>(out.Length(), INT_MAX));
    return headerLength;
}
