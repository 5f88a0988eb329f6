// Routing, resource-reservation and address-resolution protocols: OSPF,
// RSVP, SDRP, VRRP, CBT, GGP and NARP.

#include <array>
#include <string_view>

#include "decode/ProtocolDecoders.h"

namespace {

CDatagramReader HeaderOf(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength) {
    return CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
}

constexpr std::array<std::string_view, 9> kSdrpNotifications{
    "",  // 0: no piece
    "Notification code: No Route Available\t",
    "Notification code: Strict Source Route Failed\t",
    "Notification code: Transit Policy Violation\t",
    "Notification code: Hop Count Exceeded\t",
    "Notification code: Probe Completed\t",
    "Notification code: Unimplemented SDRP version\t",
    "Notification code: Unimplemented Source Route Protocol Type\t",
    "Notification code: Setup Request Rejected\t",
};

constexpr std::array<std::string_view, 6> kOspfTypes{
    "Type: Unknown\t",
    "Type: Hello\t",
    "Type: Database Description\t",
    "Type: Link State Request\t",
    "Type: Link State Update\t",
    "Type: Lin State Acknowledgment\t",
};

constexpr std::array<std::string_view, 256> MakeRsvpTypes() {
    std::array<std::string_view, 256> types{};
    for (auto& t : types) t = "Message type: Hello\t";
    types[1] = "Message type: Path\t";
    types[2] = "Message type: Resv\t";
    types[3] = "Message type: PathErr\t";
    types[4] = "Message type: ResvErr\t";
    types[5] = "Message type: PathTear\t";
    types[6] = "Message type: ResvTear\t";
    types[7] = "Message type: ResvConf\t";
    types[8] = "Message type: DREQ, Diagnostic Request\t";
    types[9] = "Message type: DREP, Diagnostic Reply\t";
    types[10] = "Message type: ResvTearConfirm\t";
    types[11] = "Message type: Integrity Challenge\t";
    types[12] = "Message type: Integrity Response\t";
    types[13] = "Message type: ACK\t";
    for (int i = 14; i <= 19; ++i) types[i] = "Message type: Srefresh\t";
    types[66] = "Message type: DBMS_willing\t";
    types[67] = "Message type: I_AM_DBMS\t";
    return types;
}
constexpr std::array<std::string_view, 256> kRsvpTypes = MakeRsvpTypes();

constexpr std::array<std::string_view, 16> kCbtTypes{
    "Type: Hello\t",          "Type: Join Request\t", "Type: Join Ack.\t",       "Type: Quit Notification\t",
    "Type: Echo Request\t",   "Type: Echo Reply\t",   "Type: Flush Tree\t",      "Type: Bootstrap Message\t",
    "Type: Candidate Core Advertsiment\t",
    "Type: UNKNOWN\t",        "Type: UNKNOWN\t",      "Type: UNKNOWN\t",         "Type: UNKNOWN\t",
    "Type: UNKNOWN\t",        "Type: UNKNOWN\t",      "Type: UNKNOWN\t",
};

constexpr std::array<std::string_view, 256> MakeGgpTypes() {
    std::array<std::string_view, 256> types{};
    for (auto& t : types) t = "Gateway Type: UNKNOWN\t";
    types[0] = "Gateway Type: Echo Reply\t";
    types[2] = "Gateway Type: Acknowledgment\t";
    types[8] = "Gateway Type: Echo Request\t";
    types[9] = "Gateway Type: Network Interface Status\t";
    types[10] = "Gateway Type: Negative Acknowledgment\t";
    types[12] = "Gateway Type: Routing Update\t";
    return types;
}
constexpr std::array<std::string_view, 256> kGgpTypes = MakeGgpTypes();

}  // namespace

void DecodeSdrp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 16;
    text.Literal("SDRP PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader header = HeaderOf(buffer, receivedLength, ipHeaderLength);
    const std::uint8_t flags = header.U8(0);
    text.Field("Version: ", flags >> 5);
    text.Literal(flags & 0x10 ? std::string_view("Data/Control flag: The packet carries data\t")
                              : std::string_view("Data/Control flag: The packet carries control information\t"));
    text.Literal(flags & 0x08
                     ? std::string_view("Loose/Strict Source Route flag: The next hop is a Strict Source Route Hop\t")
                     : std::string_view("Loose/Strict Source Route flag: The next hop is a Loose Source Route\t"));
    text.Literal(flags & 0x04 ? std::string_view("Probe Indicator flag: The originator is probing the route\t")
                              : std::string_view("Probe Indicator flag: The packet contains control information\t"));
    text.Field("Hop count: ", header.U8(1));
    text.Field("Source protocol type: ", header.U8(2));
    text.Field("Payload protocol type: ", header.U8(3));
    text.Field("Source route ID: ", header.U16(4));
    text.Field("Targer route ID: ", header.U16(8));
    text.Field("Prefix: ", header.U16(12));
    text.Field("Prefix len: ", header.U8(16));
    const std::uint8_t notification = header.U8(17);
    if (notification < kSdrpNotifications.size()) text.Literal(kSdrpNotifications[notification]);
    text.Field("Source route len: ", header.U8(18));
    text.Field("Next hop ptr: ", header.U8(19));
}

void DecodeOspf(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 16;
    text.Literal("OSPF PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader header = HeaderOf(buffer, receivedLength, ipHeaderLength);
    const std::uint8_t version = header.U8(0);
    const std::uint8_t type = header.U8(1);
    text.Field("Version: ", version);
    text.Literal(kOspfTypes[type < kOspfTypes.size() ? type : 0]);
    text.Field("Length: ", header.U16(2));
    text.Field("Router ID: ", header.S32(4));
    text.Field("Area ID: ", header.S32(8));
    text.Field("Chksum: ", header.U16(12));
    if (version < 3) {
        text.Field("Authentication type: ", header.U16(14));
    } else if (version == 3) {
        text.Field("Instance ID: ", header.U8(14));
        text.Field("Reserved: ", header.U8(15));
    }
}

void DecodeRsvp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 8;
    text.Literal("RSVP PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader header = HeaderOf(buffer, receivedLength, ipHeaderLength);
    text.Field("Version: ", header.U8(0) >> 4);
    text.Field("Flags: ", header.U8(0) & 0x0F);
    text.Literal(kRsvpTypes[header.U8(1)]);
    text.Field("Chksum: ", header.U16(2));
    text.Field("Reserved field: ", header.U8(5));
    text.Field("TTL value: ", header.U8(4));
    text.Field("Length: ", header.U16(6));
}

void DecodeVrrp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 8;
    text.Literal("VRRP PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader header = HeaderOf(buffer, receivedLength, ipHeaderLength);
    text.Field("Version: ", header.U8(0) >> 4);
    text.Field("Type: ", header.U8(0) & 0x0F);
    text.Field("Virtua Router ID: ", header.U8(1));
    text.Field("Priority: ", header.U8(2));
    text.Field("IP Address count: ", header.U8(3));
    text.Field("Authentication Type: ", header.U8(4));
    text.Field("Advertisement Int: ", header.U8(5));
    text.Field("Shksum: ", header.U16(6));
}

void DecodeCbt(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 4;
    text.Literal("CBT PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader header = HeaderOf(buffer, receivedLength, ipHeaderLength);
    // The one nibble serves as both version and type.
    const std::uint8_t nibble = header.U8(0) & 0x0F;
    text.Field("Version: ", nibble);
    text.Literal(kCbtTypes[nibble]);
    text.Field("Address Length: ", header.U8(1));
    text.Field("ChkSum: ", header.U16(2));
}

void DecodeGgp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
               std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 4;
    text.Literal("GGP PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader header = HeaderOf(buffer, receivedLength, ipHeaderLength);
    text.Literal(kGgpTypes[header.U8(0)]);
    text.Field("Sequence Number: ", header.U16(2));
}

void DecodeNarp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 0;
    text.Literal("NARP PACKET\t");
    const CDatagramReader header = HeaderOf(buffer, receivedLength, ipHeaderLength);
    if (fullInfo) {
        text.Field("Version: ", header.U8(0));
        text.Field("Hop Count: ", header.U8(1));
        text.Field("Chksum: ", header.U16(2));
        // The type is read from the checksum's low byte; both pieces show it.
        text.Field("Type: ", header.U8(3));
        text.Field("Code: ", header.U8(4));
    }
    text.Literal("Src Addr: ");
    text.Dotted(header.Address(7), 15);
    text.Literal("\tDest Addr: ");
    text.Dotted(header.Address(11), 15);
    text.Literal("\t");
    if (fullInfo) {
        text.Field("Length: ", header.U8(15));
        text.Field("NBMA address: ", 0);
    }
}
