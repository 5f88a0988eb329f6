// ICMP, IGMP and ICMPv6: control and group-membership messages with their
// types spelled out.

#include <array>
#include <string_view>

#include "decode/ProtocolDecoders.h"

namespace {

constexpr std::array<std::string_view, 256> MakeIcmpTypes() {
    std::array<std::string_view, 256> types{};
    for (auto& t : types) t = "ICMP type = Reserved\t";
    types[0] = "ICMP type = Echo reply\t";
    types[3] = "ICMP type = Destination unreachable\t";
    types[4] = "ICMP type = Source quench\t";
    types[5] = "ICMP type = Redirect\t";
    types[6] = "ICMP type = Alternate Host Address\t";
    types[8] = "ICMP type = Echo request\t";
    types[9] = "ICMP type = Router advertisement\t";
    types[10] = "ICMP type = Router solicitation\t";
    types[11] = "ICMP type = Time exceeded\t";
    types[12] = "ICMP type = Parameter problem\t";
    types[13] = "ICMP type = Timestamp request\t";
    types[14] = "ICMP type = Timestamp reply\t";
    types[15] = "ICMP type = Information request\t";
    types[16] = "ICMP type = Information reply\t";
    types[17] = "ICMP type = Address mask request\t";
    types[18] = "ICMP type = Address mask reply\t";
    types[19] = "ICMP type = Reserved (for security)\t";
    for (int i = 20; i <= 29; ++i) types[i] = "ICMP type = Reserved (for robustness experiment)\t";
    types[30] = "ICMP type = Traceroute\t";
    types[31] = "ICMP type = Conversion error\t";
    types[32] = "ICMP type = Mobile Host Redirect\t";
    types[33] = "ICMP type = IPv6 Where-Are-You\t";
    types[34] = "ICMP type = IPv6 I-Am-Here\t";
    types[35] = "ICMP type = Mobile Registration Request\t";
    types[36] = "ICMP type = Mobile Registration Reply\t";
    types[37] = "ICMP type = Domain Name Request\t";
    types[38] = "ICMP type = Domain Name Reply\t";
    types[39] = "ICMP type = Skip Algorithm Discovery Protocol\t";
    types[40] = "ICMP type = Phuturis, Security failures\t";
    return types;
}
constexpr std::array<std::string_view, 256> kIcmpTypes = MakeIcmpTypes();

// Empty entries get no piece.
constexpr std::array<std::string_view, 256> MakeIcmpv6Types() {
    std::array<std::string_view, 256> types{};
    types[1] = "IGMPv6 Type = Destination Unreachable\t";
    types[2] = "IGMPv6 Type = Packet Too Big\t";
    types[3] = "IGMPv6 Type = Time Exceeded\t";
    types[4] = "IGMPv6 Type = Parameter Problem\t";
    types[128] = "IGMPv6 Type = Echo Request\t";
    types[129] = "IGMPv6 Type = Echo Reply\t";
    types[130] = "IGMPv6 Type = Group Membership Query\t";
    types[131] = "IGMPv6 Type = Group Membership Report\t";
    types[132] = "IGMPv6 Type = Group Membership Reduction\t";
    types[133] = "IGMPv6 Type = Router Solicitation\t";
    types[134] = "IGMPv6 Type = Router Advrtisement\t";
    types[135] = "IGMPv6 Type = Neighbour Solicitation\t";
    types[136] = "IGMPv6 Type = Neighbour Advrtisement\t";
    types[137] = "IGMPv6 Type = Redirect\t";
    types[138] = "IGMPv6 Type = Router Renumbering\t";
    types[139] = "IGMPv6 Type = ICMP Node Information Query\t";
    types[140] = "IGMPv6 Type = ICMP Node Information Response\t";
    return types;
}
constexpr std::array<std::string_view, 256> kIcmpv6Types = MakeIcmpv6Types();

// The group-management form (the oldest IGMP): types 1 to 8 and the code
// table each of them uses.
enum class CodeTable { None, Creation, Reply };
struct GroupType {
    std::string_view piece;
    CodeTable codes;
};
constexpr std::array<GroupType, 9> kGroupTypes{{
    {"", CodeTable::None},
    {"Type = Create Group Request\t", CodeTable::Creation},
    {"Type = Create Group Reply\t", CodeTable::Reply},
    {"Type = Join Group Request\t", CodeTable::None},
    {"Type = Join Group Reply\t", CodeTable::Reply},
    {"Type = Leave Group Request\t", CodeTable::None},
    {"Type = Leave Group Reply\t", CodeTable::Reply},
    {"Type = Confirm Group Request\t", CodeTable::None},
    {"Type = Confirm Group Reply\t", CodeTable::Reply},
}};
constexpr std::array<std::string_view, 2> kCreationCodes{"Code = Public\t", "Code = Private\t"};
constexpr std::array<std::string_view, 6> kReplyCodes{
    "Code = Request granted\t",
    "Code = Request denied, no resources\t",
    "Code = Request denied,invalid code, \t",
    "Code = Request denied, invalid group address\t",
    "Code = Request denied, invalid access key\t",
    "Code = Request pending\t",  // 5 to 255
};

void GroupAddressPiece(const CDatagramReader& message, std::size_t offset, CTextAppender& text) {
    text.Literal("Grp Addr = ");
    text.Dotted(message.Address(offset));
    text.Literal("\t");
}

void DecodeGroupManagement(const CDatagramReader& message, CTextAppender& text, bool fullInfo) {
    if (fullInfo) {
        text.Literal("Version = 0\t");
        const std::uint8_t type = message.U8(0);
        const std::uint8_t code = message.U8(1);
        if (type >= 1 && type < kGroupTypes.size()) {
            const GroupType& entry = kGroupTypes[type];
            text.Literal(entry.piece);
            if (entry.codes == CodeTable::Creation && code < kCreationCodes.size()) {
                text.Literal(kCreationCodes[code]);
            } else if (entry.codes == CodeTable::Reply) {
                text.Literal(kReplyCodes[code < kReplyCodes.size() ? code : kReplyCodes.size() - 1]);
            }
        }
        text.Field("Chksum: ", message.U16(2));
        // The identifier and the access key are taken in the sender's memory order.
        text.Field("Identifier: ", static_cast<std::int32_t>(message.U32LittleEndian(4)));
    }
    GroupAddressPiece(message, 8, text);
    if (fullInfo) {
        text.Literal("Access Key: ");
        text.Hex(message.U32LittleEndian(12), 0);
        text.Hex(message.U32LittleEndian(16), 0);
        text.Literal("\t");
    }
}

void DecodeMembership(const CDatagramReader& message, CTextAppender& text, bool fullInfo) {
    if (fullInfo) {
        const std::uint8_t type = message.U8(0);
        const std::uint8_t nibble = type & 0x0F;
        const int version = nibble == 1 || nibble == 2 ? 1 : 2;
        text.Field("Version = ", version);
        if (version == 1) {
            text.Literal(nibble == 1 ? std::string_view("Type = Host Membership Query\t")
                                     : std::string_view("Type = Host Membership Report\t"));
        } else {
            if (type == 0x16) {
                text.Literal("Type = Membership Report\t");
            } else if (type == 0x17) {
                text.Literal("Type = Leave Group\t");
            } else {
                text.Literal("Type unknown\t");
            }
            text.Field("Max Resp Time = ", message.U8(1));
        }
    }
    GroupAddressPiece(message, 4, text);
}

}  // namespace

void DecodeIcmp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 4;
    text.Literal("ICMP PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader message = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    const std::uint8_t type = message.U8(0);
    text.Field("ICMP Version = ", type == 1 || type == 2 ? 1 : 2);
    text.Literal(kIcmpTypes[type]);
    text.Field("IGMP Chksum: ", message.U16(2));
}

void DecodeIgmp(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 12;
    text.Literal("IGMP PACKET\t");
    const CDatagramReader message = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    // Only the length tells the two forms apart.
    if (receivedLength == ipHeaderLength + 18) {
        DecodeGroupManagement(message, text, fullInfo);
    } else {
        DecodeMembership(message, text, fullInfo);
    }
}

void DecodeIcmpv6(Datagram buffer, std::uint32_t receivedLength, std::size_t ipHeaderLength,
                  std::uint16_t& decoderHeaderLength, CTextAppender& text, bool fullInfo) {
    decoderHeaderLength = 4;
    text.Literal("ICMPv6 PACKET\t");
    if (!fullInfo) return;
    const CDatagramReader message = CDatagramReader(buffer, receivedLength).From(ipHeaderLength);
    text.Literal(kIcmpv6Types[message.U8(0)]);
    text.Literal("ChkSum: 0x");
    text.Hex(message.U16(2), 8, HexDigits::Lower);
    text.Literal("\t");
}
