#include <gtest/gtest.h>

#include "tests/decode/TestDatagrams.h"

namespace {

// An inner header: TOS 0xB8 (precedence 5), DF set, offset 16, TTL 63, UDP, 10.1.2.3 to 172.16.0.99.
Bytes Carrying(std::uint8_t protocol, std::uint8_t serviceType = 0xB8) {
    return Ipv4(protocol, {0x45, serviceType, 0x05, 0xdc, 0xab, 0xcd, 0x40, 0x10, 63, 17, 0, 0, 10, 1, 2, 3, 172, 16,
                           0, 99, 0xaa, 0xbb});
}
const std::string kInnerAddresses = "Src Addr: 10.1.2.3       \tDest Addr: 172.16.0.99    \t";

TEST(IpInIp, InnerHeaderInWords) {
    EXPECT_EQ(ProtocolText(Carrying(4), false), "IPinIP PACKET\t" + kInnerAddresses);
    EXPECT_EQ(ProtocolText(Carrying(4), true),
              "IPinIP PACKET\tVersion: 4\tIHL: 5\tPrecedence CRITIC/ESP\tD bit: minimize delay set to Low delay\t"
              "T bit: minimize throughput set to High throughput\tR bit: maximize reliability set to Normal reliability\t"
              "M bit: minimize monetary cost set to Normal monetary\tTotal Length: 1500\tIdentification: 43981\t"
              "Don't Fragment flag set to 1\tMore Fragments flag set to 0\tFragment Offset: 16\tTTL: 63\t"
              "Protocol: 17\t" + kInnerAddresses);
    EXPECT_NE(ProtocolText(Carrying(4, 0xE6), true)
                  .find("Precedence Network Control\tD bit: minimize delay set to Normal delay\t"
                        "T bit: minimize throughput set to Normal throughput\t"
                        "R bit: maximize reliability set to High reliability\t"
                        "M bit: minimize monetary cost set to Minimize monetary\t"),
              std::string::npos);
    // 16 bytes counted, not 20: the message starts with the inner destination address.
    EXPECT_EQ(Decode(Carrying(4), false, true).Message(), std::string("\xac\x10\x00\x63\xaa\xbb", 6));
}

TEST(IfmpMep, SameFieldsUnderTwoHeadings) {
    const std::string fields = "Version: 4\tIHL: 5\tTOS field value: 184\tTotal Length: 1500\tIdentification: 43981\t"
                               "Flags field value: 2\tFragment Offset: 16\tTTL: 63\tProtocol: 17\t" + kInnerAddresses;
    EXPECT_EQ(ProtocolText(Carrying(101), true), "IFMP PACKET\t" + fields);
    EXPECT_EQ(ProtocolText(Carrying(55), true), "MEP PACKET\t" + fields);
    EXPECT_EQ(ProtocolText(Carrying(55), false), "MEP PACKET\t" + kInnerAddresses);
}

Bytes Gre(std::uint8_t flags, std::uint8_t version) {
    return Ipv4(47, {flags, version, 0x88, 0x0b, 0x00, 0x40, 0x12, 0x34, 0x80, 0, 0, 0, 0, 0, 0, 0x05});
}

TEST(Gre, FieldsFollowTheVersionByte) {
    EXPECT_EQ(ProtocolText(Gre(0x20, 0), false), "GRE PACKET\t");
    EXPECT_EQ(ProtocolText(Gre(0x20, 0), true),
              "GRE PACKET\tC, Checksum NOT Present\tR, Routing NOT Present\tK, Key Present\t"
              "S, Sequence Number NOT Present\ts, Strict Source Route NOT Present\tVersion: 0\t"
              "Protocol Type: 34827\tChksum: 64\tOffset: 4660\tKey: -2147483648\tSequence Number: 5\t");
    const std::string enhanced = "Protocol Type: 34827\tPayload Len:: 64\tCall ID: 4660\tSequence Number: -2147483648\t"
                                 "Acknowledgment Number: 5\t";
    EXPECT_EQ(ProtocolText(Gre(0xB8, 1), true),
              "GRE PACKET\tC, Checksum Present\tR, Routing NOT Present\tK, Key Present\tS, Sequence Number Present\t"
              "s, Strict Source Route Present\tVersion: 1\t" + enhanced);
    // Other versions: no version piece, the enhanced layout's fields as they lie.
    EXPECT_EQ(ProtocolText(Gre(0x40, 7), true),
              "GRE PACKET\tC, Checksum NOT Present\tR, Routing Present\tK, Key NOT Present\t"
              "S, Sequence Number NOT Present\ts, Strict Source Route NOT Present\t" + enhanced);
}

TEST(SecurityAndSctp, FixedFieldsAndCountedHeaders) {
    const Bytes ah = Ipv4(51, {6, 4, 0, 0, 0, 0, 1, 0, 0xff, 0xff, 0xff, 0xfe, 0xde, 0xad});
    EXPECT_EQ(ProtocolText(ah, false), "AH PACKET\t");
    EXPECT_EQ(ProtocolText(ah, true), "AH PACKET\tNext header: 6\tSize of auth. data: 4\tSPI: 256\tSequence Number: -2\t");
    EXPECT_EQ(Decode(ah, false, true).Message(), "\xde\xad");
    const Bytes ippcp = Ipv4(108, {17, 0x80, 0x12, 0x34, 0x99});
    EXPECT_EQ(ProtocolText(ippcp, false), "IPPCP PACKET\t");
    EXPECT_EQ(ProtocolText(ippcp, true), "IPPCP PACKET\tNext header: 17\tFlags: 128\tCompression parameter index: 4660\t");
    EXPECT_EQ(Decode(ippcp, false, true).Message(), "\x99");
    const Bytes sctp = Ipv4(132, {0x0b, 0x59, 0x0b, 0x5a, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0x01});
    const Decoded reduced = Decode(sctp, false, true);
    EXPECT_STREQ(reduced.record->protocolText, "SCTP PACKET\tSrc Port: 2905\tDest Port: 2906\t");
    EXPECT_STREQ(reduced.record->sourcePort, "2905");
    EXPECT_STREQ(reduced.record->destinationPort, "2906");
    EXPECT_EQ(reduced.Message(), "\x01");
    EXPECT_EQ(ProtocolText(sctp, true), "SCTP PACKET\tSrc Port: 2905\tDest Port: 2906\tVerification tag: 0\tChksum: -1\t");
}

}  // namespace
