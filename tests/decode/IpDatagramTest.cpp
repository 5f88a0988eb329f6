// The IPv4 header pieces, the filter match, the record fields, the message and
// the bounds of every read and write.

#include <gtest/gtest.h>

#include "tests/decode/TestDatagrams.h"

namespace {

// TCP from 192.168.1.10:1025 to 192.168.1.20:80, with 12 bytes of options.
Bytes TcpSyn(std::uint16_t sourcePort = 1025, std::uint16_t destinationPort = 80, std::uint8_t source3 = 10) {
    return Ipv4(6,
                {static_cast<std::uint8_t>(sourcePort >> 8), static_cast<std::uint8_t>(sourcePort),
                 static_cast<std::uint8_t>(destinationPort >> 8), static_cast<std::uint8_t>(destinationPort),
                 0x3a, 0x1f, 0x00, 0x01, 0, 0, 0, 0, 0x80, 0x02, 0xfa, 0xf0, 0x9c, 0x3e, 0, 0,
                 0x02, 0x04, 0x05, 0xb4, 0x01, 0x03, 0x03, 0x07, 0x04, 0x02, 0x01, 0x01},
                source3);
}

TEST(IpHeader, FullInfoPiecesAndRecordFields) {
    Bytes d = Ipv4(6, {0x04, 0x01, 0x00, 0x50});
    d[1] = 0xB8;              // type of service
    d[6] = 0x21, d[7] = 0x23;  // more-fragments bit, offset 0x123
    d[8] = 5;
    const Decoded r = Decode(d, true);
    ASSERT_EQ(r.accepted, 1);
    EXPECT_EQ(r.returned, 20);
    EXPECT_EQ(r.text.substr(0, r.text.find("TCP PACKET")),
              "IP HEADER\tIP Version: 4         \tIP Header Len: 20 bytes\tIP TOS: B8 (hex)\t"
              "IP Total Len: 24    bytes\tIdentification: 0x00001C46\tIP Flags: 1 (hex)\t"
              "Frag Offset: 0x00000123\tTTL: 5         \tHdr Checksum: 0x0000B1E6\t"
              "Src Addr: 192.168.1.10   \tDest Addr: 192.168.1.20   \t");
    EXPECT_STREQ(r.record->sourceAddress, "192.168.1.10");
    EXPECT_STREQ(r.record->destinationAddress, "192.168.1.20");
    EXPECT_STREQ(r.record->protocolName, "TCP");
    EXPECT_STREQ(r.record->lengthText, "24");
    EXPECT_TRUE(r.terminated);
    EXPECT_FALSE(r.record->messageData);
}

TEST(IpHeader, HeaderLengthFieldMovesTheTransportHeader) {
    // With one option word the TCP header starts at byte 24.
    const Decoded r = Decode(Ipv4(6, {0x00, 0x19, 0x01, 0xbb}, 10, 20, 1), false);
    EXPECT_EQ(r.returned, 24);
    EXPECT_STREQ(r.record->sourcePort, "25");
    EXPECT_STREQ(r.record->destinationPort, "443");
}

TEST(IpHeader, ProtocolsWithoutDecoder) {
    for (std::uint8_t protocol : {0, 255}) {
        Bytes d = Ipv4(protocol, {1, 2, 3, 4});
        const Decoded r = Decode(d, false, true);
        EXPECT_EQ(r.text, kReducedIpText + "(No decoder installed for protocol with IP_PROTO = " +
                              std::to_string(protocol) + ")\r\nIP MESSAGE:\r\n\x01\x02\x03\x04");
        EXPECT_STREQ(r.record->protocolName, "<unknown>");
        EXPECT_STREQ(r.record->protocolText, "");
        EXPECT_STREQ(r.record->lengthText, "24");
        EXPECT_STREQ(r.record->sourcePort, "");
        EXPECT_EQ(r.Message(), "\x01\x02\x03\x04");
    }
}

TEST(IpHeader, EveryListedProtocolHasItsName) {
    const std::pair<int, const char*> names[] = {
        {1, "ICMP"},   {2, "IGMP"},   {3, "GGP"},   {4, "IPinIP"}, {6, "TCP"},    {7, "CBT"},   {11, "NVP"},
        {17, "UDP"},   {18, "TMux"},  {20, "HMP"},  {27, "RDP"},   {28, "IRTP"},  {30, "NETBLT"}, {35, "IDPR"},
        {38, "IDPR"},  {42, "SDRP"},  {46, "RSVP"}, {47, "GRE"},   {50, "ESP"},   {51, "AH"},   {54, "NARP"},
        {55, "MEP"},   {57, "SKIP"},  {58, "ICMPv6"}, {81, "VMTP"}, {89, "OSPF"}, {92, "MTP"},  {101, "IFMP"},
        {103, "PIM"},  {108, "IPPCP"}, {112, "VRRP"}, {132, "SCTP"}};
    int listed = 0;
    for (int protocol = 0; protocol < 256; ++protocol) {
        const Decoded r = Decode(Ipv4(static_cast<std::uint8_t>(protocol), {}), false);
        const char* expected = "<unknown>";
        for (const auto& [number, name] : names) {
            if (number == protocol) expected = name, ++listed;
        }
        ASSERT_STREQ(r.record->protocolName, expected) << protocol;
        ASSERT_EQ(std::string(expected) == "<unknown>", r.text.find("No decoder installed") != std::string::npos);
    }
    EXPECT_EQ(listed, 32);
}

TEST(FilterMatch, EmptySourceListAcceptsEverything) {
    Filters f;
    f.destAddrs = {Address(10, 9, 9, 9)};
    f.destPorts = {0};
    EXPECT_EQ(Decode(TcpSyn(), false, false, f).accepted, 1);
    EXPECT_EQ(Decode(Ipv4(1, {8, 0, 0, 0}), false, false, f).accepted, 1);
}

TEST(FilterMatch, SourceEntriesCompareTheSourcePort) {
    Filters f;
    f.srcAddrs = {Address(192, 168, 1, 10)};
    f.srcPorts = {80};
    EXPECT_EQ(Decode(TcpSyn(1025, 80), false, false, f).accepted, 0);  // port 80 is the destination's
    EXPECT_EQ(Decode(TcpSyn(80, 1025), false, false, f).accepted, 1);
    // A destination entry can still let it through.
    f.destAddrs = {Address(192, 168, 1, 30), Address(192, 168, 1, 20)};
    f.destPorts = {0, 80};
    EXPECT_EQ(Decode(TcpSyn(1025, 80), false, false, f).accepted, 1);
    EXPECT_EQ(Decode(TcpSyn(1025, 81), false, false, f).accepted, 0);
}

TEST(FilterMatch, PortZeroMatchesOnlyProtocolsWithPorts) {
    Filters f;
    f.srcAddrs = {Address(192, 168, 1, 10)};
    f.srcPorts = {0};
    for (std::uint8_t protocol : {2, 6, 17, 132}) {
        EXPECT_EQ(Decode(Ipv4(protocol, {0, 1, 0, 2}), false, false, f).accepted, 1) << int(protocol);
    }
    for (std::uint8_t protocol : {1, 4, 47, 89, 0}) {
        EXPECT_EQ(Decode(Ipv4(protocol, {0, 1, 0, 2}), false, false, f).accepted, 0) << int(protocol);
    }
    EXPECT_EQ(Decode(TcpSyn(1025, 80, 11), false, false, f).accepted, 0);  // another source
}

TEST(FilterMatch, IgmpPortsAreItsFirstTwoWords) {
    Filters f;
    f.srcAddrs = {Address(192, 168, 1, 10)};
    f.srcPorts = {0x1600};
    EXPECT_EQ(Decode(Ipv4(2, {0x16, 0x00, 0xfa, 0x04, 224, 0, 0, 251}), false, false, f).accepted, 1);
    EXPECT_EQ(Decode(Ipv4(2, {0x17, 0x00, 0xfa, 0x04, 224, 0, 0, 251}), false, false, f).accepted, 0);
}

TEST(FilterMatch, DuplicateAddressesKeepScanning) {
    Filters f;
    f.srcAddrs = {Address(192, 168, 1, 10), Address(192, 168, 1, 10)};
    f.srcPorts = {21, 0};
    EXPECT_EQ(Decode(TcpSyn(25, 80), false, false, f).accepted, 1);
}

TEST(FilterMatch, RejectedDatagramLeavesTextAndRecordAlone) {
    Filters f;
    f.srcAddrs = {Address(10, 0, 0, 1)};
    f.srcPorts = {0};
    std::vector<char> area(64, '#');
    CPacketRecord record;
    int accepted = 7, textLength = -5;
    const Bytes d = TcpSyn();
    EXPECT_EQ(DecodeIpDatagram(d, static_cast<std::uint32_t>(d.size()), accepted, area, textLength, f.srcAddrs,
                               f.destAddrs, f.srcPorts, f.destPorts, 1, 1, record),
              20);
    EXPECT_EQ(accepted, 0);
    EXPECT_EQ(textLength, -5);
    EXPECT_EQ(std::string(area.begin(), area.end()), std::string(64, '#'));
    EXPECT_STREQ(record.lengthText, "");
    EXPECT_FALSE(record.messageData);
}

TEST(FilterMatch, MismatchedListLengthsUseOnlyCompleteEntries) {
    // Damaged sets: an address without its port never matches, and no scan
    // reads past the shorter list (checked under the sanitizers).
    Filters f;
    f.srcAddrs = {Address(192, 168, 1, 9), Address(192, 168, 1, 10)};
    f.srcPorts = {0};
    EXPECT_EQ(Decode(TcpSyn(), false, false, f).accepted, 0);
    f.srcPorts = {0, 0, 0, 0};
    EXPECT_EQ(Decode(TcpSyn(), false, false, f).accepted, 1);
    f.srcAddrs = {Address(1, 1, 1, 1)};
    f.srcPorts = {};
    f.destAddrs = {Address(192, 168, 1, 20), Address(192, 168, 1, 20)};
    f.destPorts = {443};
    EXPECT_EQ(Decode(TcpSyn(), false, false, f).accepted, 0);
    f.destPorts = {443, 80};
    EXPECT_EQ(Decode(TcpSyn(), false, false, f).accepted, 1);
}

TEST(Message, StartsBehindBothHeaderLengths) {
    // UDP counts no header of its own: the message is the 8 UDP bytes and the data.
    const Bytes udp = Ipv4(17, {0x00, 0x35, 0xd4, 0x31, 0x00, 0x0b, 0x8f, 0x2c, 0x00, 0x61, 0x00});
    Decoded r = Decode(udp, false, true);
    const std::string message("\x00\x35\xd4\x31\x00\x0b\x8f\x2c\x00\x61\x00", 11);
    EXPECT_EQ(r.Message(), message);
    EXPECT_EQ(r.record->messageData[11], 0);
    EXPECT_EQ(r.text, kReducedIpText + "UDP PACKET:\tSource Port: 53   \tDest Port: 54321\t\r\nIP MESSAGE:\r\n" + message);
    EXPECT_EQ(r.textLength, static_cast<int>(r.text.size()));
    EXPECT_TRUE(r.terminated);
    // TCP counts 20 bytes, whatever its data offset says: the options become message.
    r = Decode(TcpSyn(), false, true);
    EXPECT_EQ(r.Message(), std::string("\x02\x04\x05\xb4\x01\x03\x03\x07\x04\x02\x01\x01"));
}

TEST(Message, HeadersLongerThanTheDatagramLeaveAnEmptyMessage) {
    // A header length field of 15 with 40 bytes received.
    Bytes d = TcpSyn();
    d.resize(40);
    d[0] = 0x4F;
    const Decoded r = Decode(d, true, true);
    ASSERT_EQ(r.accepted, 1);
    EXPECT_EQ(r.returned, 60);
    EXPECT_EQ(r.record->messageLength, 0u);
    ASSERT_TRUE(r.record->messageData);
    EXPECT_EQ(r.record->messageData[0], 0);
    EXPECT_TRUE(r.text.ends_with("\r\nIP MESSAGE:\r\n"));
    // Its TCP header would lie at 60: every field beyond the datagram reads as zero.
    EXPECT_STREQ(r.record->sourcePort, "0");
    EXPECT_NE(r.text.find("Seq Num: 0\tACK Num: 0\tUrgent ptr: 0\t"), std::string::npos);
}

TEST(Bounds, TinyDatagramsReadAsZeros) {
    for (std::size_t length : {0, 1}) {
        Bytes d = TcpSyn();
        const Decoded r = Decode(d, true, true, {}, length);
        ASSERT_EQ(r.accepted, 1);
        EXPECT_STREQ(r.record->lengthText, std::to_string(length).c_str());
        EXPECT_STREQ(r.record->protocolName, "<unknown>");  // the protocol byte is beyond the data
        EXPECT_EQ(r.record->messageLength, 0u);
        const std::string version = length == 0 ? "0" : "4";
        const std::string headerLength = length == 0 ? " 0" : "20";
        EXPECT_EQ(r.text, "IP HEADER\tIP Version: " + version + "         \tIP Header Len: " + headerLength +
                              " bytes\tIP TOS: 00 (hex)\tIP Total Len: 0     bytes\tIdentification: 0x00000000\t"
                              "IP Flags: 0 (hex)\tFrag Offset: 0x00000000\tTTL: 0         \t"
                              "Hdr Checksum: 0x00000000\tSrc Addr: 0.0.0.0        \tDest Addr: 0.0.0.0        \t"
                              "(No decoder installed for protocol with IP_PROTO = 0)\r\nIP MESSAGE:\r\n");
    }
}

TEST(Bounds, BytesBeyondTheReceivedLengthAreNotRead) {
    // The buffer still holds an old TCP header behind the 20 received bytes.
    const Decoded r = Decode(TcpSyn(), true, true, {}, 20);
    EXPECT_STREQ(r.record->sourcePort, "0");
    EXPECT_STREQ(r.record->lengthText, "20");
    EXPECT_EQ(r.record->messageLength, 0u);
    // A length beyond the buffer does not invent bytes either.
    const Bytes udp = Ipv4(17, {0x00, 0x35, 0x00, 0x35});
    const Decoded longer = Decode(udp, false, true, {}, 5000);
    EXPECT_STREQ(longer.record->lengthText, "24");
    EXPECT_EQ(longer.Message(), std::string("\x00\x35\x00\x35", 4));
}

TEST(Bounds, LargestDatagramIsCutAtTheTextArea) {
    // IP-in-IP has the longest decoder text: with it the full text outgrows the area.
    Bytes d = Ipv4(4, {0x45, 0xfe, 0xff, 0xff, 0xff, 0xff, 0x7f, 0xff, 255, 255, 0, 0, 255, 255, 255, 255});
    d.resize(kReceiveBufferSize, 0xAB);
    const Decoded r = Decode(d, true, true);
    ASSERT_EQ(r.accepted, 1);
    EXPECT_EQ(r.textLength, static_cast<int>(kDecodedTextSize));
    EXPECT_FALSE(r.terminated);
    EXPECT_TRUE(r.guardIntact);
    EXPECT_EQ(r.record->messageLength, kReceiveBufferSize - 36);  // the record keeps all of it
    EXPECT_EQ(r.record->messageData[kReceiveBufferSize - 37], 0xAB);
    EXPECT_EQ(r.record->messageData[kReceiveBufferSize - 36], 0);
    const std::size_t header = r.text.find("\r\nIP MESSAGE:\r\n") + 15;
    EXPECT_EQ(r.text.substr(header), r.Message().substr(0, kDecodedTextSize - header));
    EXPECT_STREQ(r.record->lengthText, "65535");
}

TEST(Bounds, SmallTextAreasHoldAPrefixOfTheText) {
    const Bytes d = TcpSyn();
    const Decoded whole = Decode(d, true, true);
    for (std::size_t size : {0, 1, 9, 10, 100, 250, 300}) {
        const Decoded r = Decode(d, true, true, {}, SIZE_MAX, size);
        ASSERT_TRUE(r.guardIntact) << size;
        EXPECT_EQ(r.text, whole.text.substr(0, size)) << size;
        EXPECT_EQ(r.terminated, size > whole.text.size());
        // The record does not depend on the caller's area.
        EXPECT_STREQ(r.record->protocolText, whole.record->protocolText);
        EXPECT_EQ(r.Message(), whole.Message());
    }
}

}  // namespace
