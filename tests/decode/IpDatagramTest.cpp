// The IPv4 header pieces, the filter match, the record fields, the message and
// the bounds of every read and write.

#include <map>

#include <gtest/gtest.h>

#include "tests/decode/TestDatagrams.h"

namespace {

// TCP from 192.168.1.<source3>:<sourcePort> to 192.168.1.20:<destinationPort>, 12 bytes of options.
Bytes Tcp(std::uint16_t sourcePort = 1025, std::uint16_t destinationPort = 80, std::uint8_t source3 = 10) {
    return Ipv4(6,
                {static_cast<std::uint8_t>(sourcePort >> 8), static_cast<std::uint8_t>(sourcePort),
                 static_cast<std::uint8_t>(destinationPort >> 8), static_cast<std::uint8_t>(destinationPort), 0x3a,
                 0x1f, 0, 1, 0, 0, 0, 0, 0x80, 0x02, 0xfa, 0xf0, 0x9c, 0x3e, 0, 0, 2, 4, 5, 0xb4, 1, 3, 3, 7, 4, 2, 1, 1},
                source3);
}

TEST(IpHeader, FullInfoPiecesAndRecordFields) {
    Bytes d = Ipv4(6, {0x04, 0x01, 0x00, 0x50});
    d[1] = 0xB8, d[6] = 0x21, d[7] = 0x23, d[8] = 5;  // TOS, more fragments at 0x123, TTL
    const Decoded r = Decode(d, true);
    ASSERT_EQ(r.accepted, 1);
    EXPECT_EQ(r.returned, 20);
    EXPECT_EQ(r.text.substr(0, r.text.find("TCP PACKET")),
              "IP HEADER\tIP Version: 4         \tIP Header Len: 20 bytes\tIP TOS: B8 (hex)\t"
              "IP Total Len: 24    bytes\tIdentification: 0x00001C46\tIP Flags: 1 (hex)\t"
              "Frag Offset: 0x00000123\tTTL: 5         \tHdr Checksum: 0x0000B1E6\t"
              "Src Addr: 192.168.1.10   \tDest Addr: 192.168.1.20   \t");
    EXPECT_TRUE(r.terminated);
    EXPECT_STREQ(r.record->sourceAddress, "192.168.1.10");
    EXPECT_STREQ(r.record->destinationAddress, "192.168.1.20");
    EXPECT_STREQ(r.record->lengthText, "24");
    EXPECT_FALSE(r.record->HasMessage());
    EXPECT_EQ(r.record->Datagram().bytes.size(), 24u);  // kept whole all the same
    // One option word moves the TCP header to byte 24.
    const Decoded moved = Decode(Ipv4(6, {0x00, 0x19, 0x01, 0xbb}, 10, 20, 1), false);
    EXPECT_EQ(moved.returned, 24);
    EXPECT_STREQ(moved.record->sourcePort, "25");
    EXPECT_STREQ(moved.record->destinationPort, "443");
}

TEST(IpHeader, ProtocolTableNamesAndTheNoDecoderPiece) {
    const std::map<int, std::string> names{
        {1, "ICMP"},  {2, "IGMP"},  {3, "GGP"},   {4, "IPinIP"}, {6, "TCP"},    {7, "CBT"},    {11, "NVP"},
        {17, "UDP"},  {18, "TMux"}, {20, "HMP"},  {27, "RDP"},   {28, "IRTP"},  {30, "NETBLT"}, {35, "IDPR"},
        {38, "IDPR"}, {42, "SDRP"}, {46, "RSVP"}, {47, "GRE"},   {50, "ESP"},   {51, "AH"},    {54, "NARP"},
        {55, "MEP"},  {57, "SKIP"}, {58, "ICMPv6"}, {81, "VMTP"}, {89, "OSPF"}, {92, "MTP"},   {101, "IFMP"},
        {103, "PIM"}, {108, "IPPCP"}, {112, "VRRP"}, {132, "SCTP"}};
    // Every field of a record, as one text.
    const auto fields = [](const CPacketRecord& r) {
        const auto message = r.Message().bytes;
        return std::string(r.sourceAddress) + "|" + r.sourcePort + "|" + r.destinationAddress + "|" +
               r.destinationPort + "|" + r.protocolName + "|" + r.lengthText + "|" + r.protocolText + "|" +
               std::string(message.begin(), message.end());
    };
    CPacketRecord reused;  // one record for all, as the capture run reuses those it dropped
    std::vector<char> area(kDecodedTextSize);
    for (int protocol = 0; protocol < 256; ++protocol) {
        const Bytes datagram = Ipv4(static_cast<std::uint8_t>(protocol), {1, 2, 3, 4});
        const Decoded r = Decode(datagram, false, true);
        reused.Reset();
        int accepted = 0, length = 0;
        DecodeIpDatagram(datagram, std::uint32_t(datagram.size()), accepted, area, length, {}, {}, {}, {}, 0, 1, reused);
        ASSERT_EQ(fields(reused), fields(*r.record));
        const auto listed = names.find(protocol);
        if (listed != names.end()) {
            ASSERT_EQ(r.record->protocolName, listed->second);
            ASSERT_EQ(r.text.find("No decoder"), std::string::npos);
            continue;
        }
        ASSERT_EQ(r.text, kReducedIpText + "(No decoder installed for protocol with IP_PROTO = " +
                              std::to_string(protocol) + ")\r\nIP MESSAGE:\r\n\x01\x02\x03\x04");
        ASSERT_STREQ(r.record->protocolName, "<unknown>");
        ASSERT_STREQ(r.record->protocolText, "");
        ASSERT_STREQ(r.record->sourcePort, "");
        ASSERT_EQ(r.Message(), "\x01\x02\x03\x04");
    }
}

TEST(FilterMatch, EntriesAndTheirPorts) {
    const std::uint32_t a = Address(192, 168, 1, 10), b = Address(192, 168, 1, 20), other = Address(10, 9, 9, 9);
    const Bytes igmp = Ipv4(2, {0x16, 0x00, 0xfa, 0x04, 224, 0, 0, 251});
    const struct {
        Filters filters;
        Bytes datagram;
        int accepted;
    } cases[] = {
        {{{}, {other}, {}, {0}}, Tcp(), 1},                 // empty source list: all through
        {{{}, {other}, {}, {0}}, Ipv4(1, {8, 0}), 1},
        {{{a}, {}, {80}, {}}, Tcp(1025, 80), 0},            // the source entry compares the source port
        {{{a}, {}, {80}, {}}, Tcp(80, 1025), 1},
        {{{a}, {other, b}, {80}, {0, 80}}, Tcp(1025, 80), 1},  // then the destination entries
        {{{a}, {other, b}, {80}, {0, 80}}, Tcp(1025, 81), 0},
        {{{a}, {}, {0}, {}}, Ipv4(17, {0, 1, 0, 2}), 1},    // port 0: any port
        {{{a}, {}, {0}, {}}, Ipv4(132, {0, 1, 0, 2}), 1},
        {{{a}, {}, {0}, {}}, Ipv4(1, {0, 1, 0, 2}), 0},     // protocols without ports are never scanned
        {{{a}, {}, {0}, {}}, Ipv4(47, {0, 1, 0, 2}), 0},
        {{{a}, {}, {0}, {}}, Tcp(1025, 80, 11), 0},
        {{{a}, {}, {0x1600}, {}}, igmp, 1},                 // IGMP's ports are its first two words
        {{{a}, {}, {0x1700}, {}}, igmp, 0},
        {{{a, a}, {}, {21, 0}, {}}, Tcp(25, 80), 1},        // a duplicate address keeps the scan going
        // Damaged sets: only complete entries count, nothing is read past the shorter list.
        {{{other, a}, {}, {0}, {}}, Tcp(), 0},
        {{{other, a}, {}, {0, 0, 0, 0}, {}}, Tcp(), 1},
        {{{other}, {b, b}, {}, {443}}, Tcp(), 0},
        {{{other}, {b, b}, {}, {443, 80}}, Tcp(), 1},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Decode(cases[i].datagram, true, true, cases[i].filters).accepted, cases[i].accepted) << "case " << i;
    }
}

TEST(FilterMatch, RejectedDatagramLeavesTextAndRecordAlone) {
    const Filters f{{Address(10, 0, 0, 1)}, {}, {0}, {}};
    const Decoded r = Decode(Tcp(), true, true, f, SIZE_MAX, 64);
    EXPECT_EQ(r.accepted, 0);
    EXPECT_EQ(r.returned, 20);
    EXPECT_EQ(r.textLength, -1);
    EXPECT_TRUE(r.guardIntact);
    EXPECT_STREQ(r.record->lengthText, "");
    EXPECT_FALSE(r.record->Datagram().block);
}

TEST(Message, StartsBehindBothHeaderLengths) {
    // UDP counts no header of its own: the message is the 8 UDP bytes and the data.
    const std::string message("\x00\x35\xd4\x31\x00\x0b\x8f\x2c\x00\x61\x00", 11);
    const Decoded r = Decode(Ipv4(17, {0x00, 0x35, 0xd4, 0x31, 0x00, 0x0b, 0x8f, 0x2c, 0x00, 0x61, 0x00}), false, true);
    EXPECT_EQ(r.Message(), message);
    EXPECT_EQ(r.text, kReducedIpText + "UDP PACKET:\tSource Port: 53   \tDest Port: 54321\t\r\nIP MESSAGE:\r\n" + message);
    EXPECT_TRUE(r.terminated);
    // TCP counts 20 bytes, whatever its data offset says: the options become message.
    EXPECT_EQ(Decode(Tcp(), false, true).Message(), "\x02\x04\x05\xb4\x01\x03\x03\x07\x04\x02\x01\x01");
    // A header length field of 15 with 40 bytes received: the message is empty,
    // the TCP header beyond the datagram reads as zeros.
    Bytes d = Tcp();
    d.resize(40);
    d[0] = 0x4F;
    const Decoded clamped = Decode(d, true, true);
    EXPECT_EQ(clamped.returned, 60);
    EXPECT_TRUE(clamped.record->HasMessage());
    EXPECT_EQ(clamped.Message(), "");
    EXPECT_TRUE(clamped.text.ends_with("Seq Num: 0\tACK Num: 0\tUrgent ptr: 0\t\r\nIP MESSAGE:\r\n"));
    EXPECT_STREQ(clamped.record->sourcePort, "0");
}

TEST(Bounds, NothingIsReadBeyondTheReceivedBytes) {
    for (std::size_t length : {0, 1}) {
        const Decoded r = Decode(Tcp(), true, true, {}, length);
        EXPECT_STREQ(r.record->lengthText, std::to_string(length).c_str());
        EXPECT_EQ(r.text, "IP HEADER\tIP Version: " + std::string(length ? "4" : "0") + "         \tIP Header Len: " +
                              (length ? "20" : " 0") +
                              " bytes\tIP TOS: 00 (hex)\tIP Total Len: 0     bytes\tIdentification: 0x00000000\t"
                              "IP Flags: 0 (hex)\tFrag Offset: 0x00000000\tTTL: 0         \tHdr Checksum: 0x00000000\t"
                              "Src Addr: 0.0.0.0        \tDest Addr: 0.0.0.0        \t"
                              "(No decoder installed for protocol with IP_PROTO = 0)\r\nIP MESSAGE:\r\n");
    }
    // An old TCP header lies in the buffer behind the 20 received bytes.
    const Decoded r = Decode(Tcp(), true, true, {}, 20);
    EXPECT_STREQ(r.record->sourcePort, "0");
    EXPECT_EQ(r.Message(), "");
    // A length beyond the buffer does not invent bytes.
    const Decoded longer = Decode(Ipv4(17, {0x00, 0x35, 0x00, 0x35}), false, true, {}, 5000);
    EXPECT_STREQ(longer.record->lengthText, "24");
    EXPECT_EQ(longer.Message(), std::string("\x00\x35\x00\x35", 4));
}

TEST(Bounds, TextIsCutAtTheEndOfItsArea) {
    // IP-in-IP has the longest decoder text: with it the largest datagram outgrows the area.
    Bytes big = Ipv4(4, {0x45, 0xfe, 0xff, 0xff, 0xff, 0xff, 0x7f, 0xff, 255, 255, 0, 0, 255, 255, 255, 255});
    big.resize(kReceiveBufferSize, 0xAB);
    const Decoded r = Decode(big, true, true);
    EXPECT_EQ(r.textLength, static_cast<int>(kDecodedTextSize));
    EXPECT_TRUE(r.guardIntact);
    EXPECT_FALSE(r.terminated);
    EXPECT_STREQ(r.record->lengthText, "65535");
    EXPECT_EQ(r.Message().size(), kReceiveBufferSize - 36);  // the record keeps all of it
    const std::size_t header = r.text.find("\r\nIP MESSAGE:\r\n") + 15;
    EXPECT_EQ(r.text.substr(header), r.Message().substr(0, kDecodedTextSize - header));
    // Smaller areas hold a prefix of the same text; the record does not change.
    const Decoded whole = Decode(Tcp(), true, true);
    for (std::size_t size : {0, 1, 10, 250, 300}) {
        const Decoded cut = Decode(Tcp(), true, true, {}, SIZE_MAX, size);
        ASSERT_TRUE(cut.guardIntact) << size;
        EXPECT_EQ(cut.text, whole.text.substr(0, size));
        EXPECT_EQ(cut.terminated, size > whole.text.size());
        EXPECT_STREQ(cut.record->protocolText, whole.record->protocolText);
        EXPECT_EQ(cut.Message(), whole.Message());
    }
}

}  // namespace
