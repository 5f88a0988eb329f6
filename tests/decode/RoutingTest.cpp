// Routing and signalling decoders, and the protocols rendered by heading only.

#include <gtest/gtest.h>

#include "tests/decode/TestDatagrams.h"

namespace {

TEST(HeadingOnly, HeadingAndTheWholeTransportPartAsMessage) {
    const std::pair<std::uint8_t, std::string> headings[] = {
        {11, "NVP"}, {18, "TMux"}, {20, "HMP"}, {27, "RDP"}, {28, "IRTP"}, {30, "NETBLT"}, {35, "IDRP"},
        {38, "IDRP"}, {57, "SKIP"}, {81, "VMTP"}, {92, "MTP"}, {103, "PIM"}, {50, "ESP"}};
    for (const auto& [protocol, heading] : headings) {
        for (bool fullInfo : {false, true}) {
            const Decoded r = Decode(Ipv4(protocol, {0x20, 0x00, 0x12, 0x34}), fullInfo, true);
            ASSERT_EQ(r.record->protocolText, heading + " PACKET\t") << +protocol;
            EXPECT_EQ(r.Message(), std::string("\x20\x00\x12\x34", 4));
        }
    }
    EXPECT_EQ(Decode(Ipv4(103, {}), false).text, kReducedIpText + "PIM PACKET\t");
}

Bytes Ospf(std::uint8_t version, std::uint8_t type) {
    return Ipv4(89, {version, type, 0x00, 0x2c, 0xc0, 0xa8, 0x00, 0x01, 0, 0, 0, 0, 0xf6, 0x94, 0x01, 0x02, 0xee});
}

TEST(Ospf, PiecesByVersion) {
    const std::string common = "Length: 44\tRouter ID: -1062731775\tArea ID: 0\tChksum: 63124\t";
    EXPECT_EQ(ProtocolText(Ospf(2, 1), false), "OSPF PACKET\t");
    EXPECT_EQ(ProtocolText(Ospf(2, 1), true), "OSPF PACKET\tVersion: 2\tType: Hello\t" + common + "Authentication type: 258\t");
    EXPECT_EQ(ProtocolText(Ospf(3, 5), true),
              "OSPF PACKET\tVersion: 3\tType: Lin State Acknowledgment\t" + common + "Instance ID: 1\tReserved: 2\t");
    EXPECT_EQ(ProtocolText(Ospf(4, 0), true), "OSPF PACKET\tVersion: 4\tType: Unknown\t" + common);
    EXPECT_EQ(Decode(Ospf(2, 1), false, true).Message(), "\xee");
}

TEST(RsvpVrrpCbtGgp, FieldsAndTypeTables) {
    EXPECT_EQ(ProtocolText(Ipv4(46, {0x10, 1, 0x3a, 0x98, 63, 7, 0x00, 0x80}), true),
              "RSVP PACKET\tVersion: 1\tFlags: 0\tMessage type: Path\tChksum: 15000\tReserved field: 7\t"
              "TTL value: 63\tLength: 128\t");
    const std::pair<std::uint8_t, std::string> rsvpTypes[] = {
        {0, "Hello"}, {8, "DREQ, Diagnostic Request"}, {13, "ACK"}, {14, "Srefresh"}, {19, "Srefresh"},
        {20, "Hello"}, {66, "DBMS_willing"}, {67, "I_AM_DBMS"}, {255, "Hello"}};
    for (const auto& [type, name] : rsvpTypes) {
        EXPECT_NE(ProtocolText(Ipv4(46, {0x1f, type}), true).find("\tFlags: 15\tMessage type: " + name + "\tChksum: "),
                  std::string::npos) << +type;
    }
    EXPECT_EQ(ProtocolText(Ipv4(112, {0x21, 51, 100, 1, 0, 1, 0xba, 0x52, 192, 168, 1, 1}), true),
              "VRRP PACKET\tVersion: 2\tType: 1\tVirtua Router ID: 51\tPriority: 100\tIP Address count: 1\t"
              "Authentication Type: 0\tAdvertisement Int: 1\tShksum: 47698\t");
    EXPECT_EQ(ProtocolText(Ipv4(7, {0x12, 4, 0x01, 0x00}), true),
              "CBT PACKET\tVersion: 2\tType: Join Ack.\tAddress Length: 4\tChkSum: 256\t");
    EXPECT_NE(ProtocolText(Ipv4(7, {0x18}), true).find("\tType: Candidate Core Advertsiment\t"), std::string::npos);
    EXPECT_NE(ProtocolText(Ipv4(7, {0xff}), true).find("\tVersion: 15\tType: UNKNOWN\t"), std::string::npos);
    EXPECT_EQ(ProtocolText(Ipv4(3, {9, 0, 0x01, 0x01}), true),
              "GGP PACKET\tGateway Type: Network Interface Status\tSequence Number: 257\t");
    EXPECT_EQ(ProtocolText(Ipv4(3, {1, 0, 0, 7}), true), "GGP PACKET\tGateway Type: UNKNOWN\tSequence Number: 7\t");
    // Reduced info: the heading alone.
    const std::pair<std::uint8_t, std::string> headings[] = {{46, "RSVP"}, {112, "VRRP"}, {7, "CBT"}, {3, "GGP"}};
    for (const auto& [protocol, heading] : headings) {
        EXPECT_EQ(ProtocolText(Ipv4(protocol, {0x21, 1, 2, 3}), false), heading + " PACKET\t");
    }
}

TEST(Sdrp, FlagsNotificationsAndTheMisspeltLabel) {
    // Version 2, data, strict, probing; notification code 4.
    Bytes d = Ipv4(42, {0x5c, 3, 6, 17, 1, 2, 0xaa, 0xaa, 3, 4, 0xbb, 0xbb, 5, 6, 0xcc, 0xcc, 24, 4, 8, 1});
    EXPECT_EQ(ProtocolText(d, false), "SDRP PACKET\t");
    EXPECT_EQ(ProtocolText(d, true),
              "SDRP PACKET\tVersion: 2\tData/Control flag: The packet carries data\t"
              "Loose/Strict Source Route flag: The next hop is a Strict Source Route Hop\t"
              "Probe Indicator flag: The originator is probing the route\tHop count: 3\tSource protocol type: 6\t"
              "Payload protocol type: 17\tSource route ID: 258\tTarger route ID: 772\tPrefix: 1286\tPrefix len: 24\t"
              "Notification code: Hop Count Exceeded\tSource route len: 8\tNext hop ptr: 1\t");
    d[20] = 0, d[37] = 0;  // no flags, and code 0 gives no notification piece
    EXPECT_NE(ProtocolText(d, true).find("Version: 0\tData/Control flag: The packet carries control information\t"
                                         "Loose/Strict Source Route flag: The next hop is a Loose Source Route\t"
                                         "Probe Indicator flag: The packet contains control information\t"),
              std::string::npos);
    EXPECT_NE(ProtocolText(d, true).find("\tPrefix len: 24\tSource route len: 8\t"), std::string::npos);
    d[37] = 8;
    EXPECT_NE(ProtocolText(d, true).find("\tNotification code: Setup Request Rejected\t"), std::string::npos);
    d[37] = 9;
    EXPECT_NE(ProtocolText(d, true).find("\tPrefix len: 24\tSource route len: 8\t"), std::string::npos);
}

TEST(Narp, TypeIsTheChecksumLowByte) {
    const Bytes d = Ipv4(54, {1, 2, 0x7f, 0x03, 9, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2, 40, 0xaa});
    const std::string addresses = "Src Addr: 10.0.0.1       \tDest Addr: 10.0.0.2       \t";
    EXPECT_EQ(ProtocolText(d, false), "NARP PACKET\t" + addresses);
    EXPECT_EQ(ProtocolText(d, true), "NARP PACKET\tVersion: 1\tHop Count: 2\tChksum: 32515\tType: 3\tCode: 9\t" +
                                         addresses + "Length: 40\tNBMA address: 0\t");
    EXPECT_EQ(Decode(d, false, true).Message().size(), 17u);  // nothing counted as header
}

}  // namespace
