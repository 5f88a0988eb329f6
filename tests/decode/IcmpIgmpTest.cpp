#include <gtest/gtest.h>

#include "tests/decode/TestDatagrams.h"

namespace {

Bytes Icmp(std::uint8_t type) { return Ipv4(1, {type, 0x00, 0x4d, 0x5a, 0x00, 0x01, 0x00, 0x2a}); }

TEST(Icmp, VersionAndTypeTable) {
    EXPECT_EQ(ProtocolText(Icmp(8), false), "ICMP PACKET\t");
    EXPECT_EQ(ProtocolText(Icmp(8), true), "ICMP PACKET\tICMP Version = 2\tICMP type = Echo request\tIGMP Chksum: 19802\t");
    EXPECT_EQ(ProtocolText(Icmp(2), true), "ICMP PACKET\tICMP Version = 1\tICMP type = Reserved\tIGMP Chksum: 19802\t");
    const std::pair<std::uint8_t, std::string> types[] = {
        {0, "Echo reply"}, {7, "Reserved"}, {19, "Reserved (for security)"}, {20, "Reserved (for robustness experiment)"},
        {29, "Reserved (for robustness experiment)"}, {30, "Traceroute"}, {40, "Phuturis, Security failures"},
        {41, "Reserved"}, {255, "Reserved"}};
    for (const auto& [type, name] : types) {
        EXPECT_NE(ProtocolText(Icmp(type), true).find("\tICMP type = " + name + "\tIGMP"), std::string::npos) << +type;
    }
    EXPECT_EQ(Decode(Icmp(0), false, true).Message(), std::string("\x00\x01\x00\x2a", 4));
}

TEST(Icmpv6, ListedTypesOnly) {
    EXPECT_EQ(ProtocolText(Ipv4(58, {136, 0, 0xA1, 0x0f}), false), "ICMPv6 PACKET\t");
    EXPECT_EQ(ProtocolText(Ipv4(58, {136, 0, 0xA1, 0x0f}), true),
              "ICMPv6 PACKET\tIGMPv6 Type = Neighbour Advrtisement\tChkSum: 0x0000a10f\t");
    EXPECT_EQ(ProtocolText(Ipv4(58, {200, 0, 0, 1}), true), "ICMPv6 PACKET\tChkSum: 0x00000001\t");
}

TEST(Igmp, MembershipFormVersionFromTheTypeNibble) {
    const std::pair<Bytes, std::string> cases[] = {
        {Ipv4(2, {0x16, 0, 0xfa, 0x04, 224, 0, 0, 251}),
         "Version = 2\tType = Membership Report\tMax Resp Time = 0\tGrp Addr = 224.0.0.251\t"},
        // 0x11 has nibble 1: version 1, without a response time.
        {Ipv4(2, {0x11, 0x64, 0xee, 0x9b, 0, 0, 0, 0}), "Version = 1\tType = Host Membership Query\tGrp Addr = 0.0.0.0\t"},
        {Ipv4(2, {0x12, 0, 0, 0, 239, 1, 2, 3}), "Version = 1\tType = Host Membership Report\tGrp Addr = 239.1.2.3\t"},
        {Ipv4(2, {0x17, 0, 0, 0, 224, 0, 0, 2}), "Version = 2\tType = Leave Group\tMax Resp Time = 0\tGrp Addr = 224.0.0.2\t"},
        {Ipv4(2, {0x18, 10, 0, 0, 224, 0, 0, 22}), "Version = 2\tType unknown\tMax Resp Time = 10\tGrp Addr = 224.0.0.22\t"},
    };
    for (const auto& [d, text] : cases) EXPECT_EQ(ProtocolText(d, true), "IGMP PACKET\t" + text);
    EXPECT_EQ(ProtocolText(cases[0].first, false), "IGMP PACKET\tGrp Addr = 224.0.0.251\t");
}

// The oldest form is told apart by its length alone: 18 bytes of message.
Bytes GroupManagement(std::uint8_t type, std::uint8_t code) {
    return Ipv4(2, {type, code, 0x12, 0x34, 0, 0, 0, 1, 224, 1, 1, 1, 0xef, 0xbe, 0xad, 0xde, 0x0a, 0x00});
}

TEST(Igmp, GroupManagementFormTypesCodesAndLittleEndianFields) {
    EXPECT_EQ(ProtocolText(GroupManagement(2, 1), false), "IGMP PACKET\tGrp Addr = 224.1.1.1\t");
    // The access key's bytes 18 and 19 lie beyond the datagram and read as zero.
    EXPECT_EQ(ProtocolText(GroupManagement(2, 1), true),
              "IGMP PACKET\tVersion = 0\tType = Create Group Reply\tCode = Request denied, no resources\t"
              "Chksum: 4660\tIdentifier: 16777216\tGrp Addr = 224.1.1.1\tAccess Key: DEADBEEFA\t");
    EXPECT_EQ(ProtocolText(GroupManagement(9, 0), true),
              "IGMP PACKET\tVersion = 0\tChksum: 4660\tIdentifier: 16777216\tGrp Addr = 224.1.1.1\tAccess Key: DEADBEEFA\t");
    const std::tuple<std::uint8_t, std::uint8_t, std::string> cases[] = {
        {1, 0, "Type = Create Group Request\tCode = Public\t"}, {1, 2, "Type = Create Group Request\t"},
        {3, 0, "Type = Join Group Request\t"}, {4, 2, "Type = Join Group Reply\tCode = Request denied,invalid code, \t"},
        {6, 4, "Type = Leave Group Reply\tCode = Request denied, invalid access key\t"},
        {7, 4, "Type = Confirm Group Request\t"}, {8, 200, "Type = Confirm Group Reply\tCode = Request pending\t"}};
    for (const auto& [type, code, pieces] : cases) {
        EXPECT_NE(ProtocolText(GroupManagement(type, code), true).find("Version = 0\t" + pieces + "Chksum: "),
                  std::string::npos) << +type << "/" << +code;
    }
    Bytes negative = GroupManagement(3, 0);
    negative[24] = 0xfe, negative[25] = negative[26] = negative[27] = 0xff;
    EXPECT_NE(ProtocolText(negative, true).find("Identifier: -2\t"), std::string::npos);
}

}  // namespace
