#include <gtest/gtest.h>

#include "tests/decode/TestDatagrams.h"

namespace {

// An HTTP request segment from 1025 to 80 with ACK and PSH set.
const Bytes kTcpPush = Ipv4(6, {0x04, 0x01, 0x00, 0x50, 0xff, 0xff, 0xff, 0xff, 0x80, 0x00, 0x00, 0x01, 0x50, 0x18,
                                0x01, 0xf5, 0x6b, 0x3c, 0x00, 0x07, 'G', 'E', 'T', ' '});

TEST(Tcp, PortsFlagsAndSignedSequenceNumbers) {
    const Decoded reduced = Decode(kTcpPush, false);
    EXPECT_EQ(reduced.text, kReducedIpText + "TCP PACKET\tSource Port: 1025 \tDest Port: 80   \t");
    EXPECT_STREQ(reduced.record->sourcePort, "1025");
    EXPECT_STREQ(reduced.record->destinationPort, "80");
    const Decoded full = Decode(kTcpPush, true, true);
    EXPECT_STREQ(full.record->protocolText,
                 "TCP PACKET\tSource Port: 1025 \tDest Port: 80   \tFlags: Control Bits: ACK PSH \t"
                 "Window size: 501\tTCP Chksum: 27452\tSeq Num: -1\tACK Num: -2147483647\tUrgent ptr: 7\t");
    EXPECT_EQ(full.Message(), "GET ");
    Bytes flags = kTcpPush;
    flags[33] = 0xff;  // the two bits above the six are not named
    EXPECT_NE(ProtocolText(flags, true).find("Control Bits: URG ACK PSH RST SYN FIN \tWindow size: "), std::string::npos);
    flags[33] = 0xc0;
    EXPECT_NE(ProtocolText(flags, true).find("Control Bits: \tWindow size: "), std::string::npos);
}

TEST(Udp, PaddedPortsAndLengthLowerCaseChecksum) {
    const Bytes dns = Ipv4(17, {0xd4, 0x31, 0x00, 0x35, 0x00, 0x0c, 0x8f, 0xAc, 0x12, 0x34, 0x01, 0x00});
    const Decoded reduced = Decode(dns, false);
    EXPECT_STREQ(reduced.record->protocolText, "UDP PACKET:\tSource Port: 54321\tDest Port: 53   \t");
    EXPECT_STREQ(reduced.record->sourcePort, "54321");
    EXPECT_STREQ(reduced.record->destinationPort, "53");
    EXPECT_EQ(ProtocolText(dns, true),
              "UDP PACKET:\tSource Port: 54321\tDest Port: 53   \tUDP Len: 12   \tChkSum: 0x00008fac\t");
}

}  // namespace
