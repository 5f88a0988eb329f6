// What the log does not show: the record's fields, the bounds of every read
// and write, and filter lists of uneven length. The decoded text itself is
// the golden suite's (golden/): capture files through orn-decode.

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decode/IpDatagram.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// From 192.168.1.10 to 192.168.1.20.
Bytes Ipv4(std::uint8_t protocol, const Bytes& payload) {
    Bytes d{0x45, 0, 0, 0, 0x1c, 0x46, 0x40, 0, 64, protocol, 0xb1, 0xe6,
            192, 168, 1, 10, 192, 168, 1, 20};
    d.resize(20 + payload.size());
    std::copy(payload.begin(), payload.end(), d.end() - static_cast<std::ptrdiff_t>(payload.size()));
    d[2] = static_cast<std::uint8_t>(d.size() >> 8);
    d[3] = static_cast<std::uint8_t>(d.size());
    return d;
}

std::uint32_t Address(std::uint8_t last) {
    const std::uint8_t bytes[4] = {192, 168, 1, last};
    std::uint32_t word;
    std::memcpy(&word, bytes, 4);
    return word;
}

struct Filters {
    std::vector<std::uint32_t> srcAddrs, destAddrs;
    std::vector<std::uint16_t> srcPorts, destPorts;
};

struct Decoded {
    int accepted = -1, textLength = -1, returned = -1;
    std::string text;
    bool terminated = false;   // a zero right behind the text
    bool guardIntact = false;  // nothing written behind the span
    std::unique_ptr<CPacketRecord> record = std::make_unique<CPacketRecord>();
    std::string Message() const {
        const auto bytes = record->Message().bytes;
        return std::string(bytes.begin(), bytes.end());
    }
};

Decoded Decode(const Bytes& datagram, bool fullInfo, bool messages, const Filters& f = {},
               std::size_t receivedLength = SIZE_MAX, std::size_t areaSize = kDecodedTextSize) {
    Decoded r;
    // Not cleared, as the capture loop leaves it, with a guard behind the span.
    std::vector<char> area(areaSize + 16, '#');
    const auto length = static_cast<std::uint32_t>(receivedLength == SIZE_MAX ? datagram.size() : receivedLength);
    r.returned = DecodeIpDatagram(datagram, length, r.accepted, std::span(area).first(areaSize), r.textLength,
                                  f.srcAddrs, f.destAddrs, f.srcPorts, f.destPorts, fullInfo, messages, *r.record);
    if (r.accepted == 1) {
        const auto end = static_cast<std::size_t>(r.textLength);
        r.text.assign(area.data(), end);
        r.terminated = end < areaSize && area[end] == '\0';
    }
    r.guardIntact = std::string(area.end() - 16, area.end()) == std::string(16, '#');
    return r;
}

// Every field of a record, as one text.
std::string Fields(const CPacketRecord& r) {
    const auto message = r.Message().bytes;
    return std::string(r.sourceAddress) + "|" + r.sourcePort + "|" + r.destinationAddress + "|" + r.destinationPort +
           "|" + r.protocolName + "|" + r.lengthText + "|" + r.protocolText + "|" +
           std::string(message.begin(), message.end());
}

const Bytes kTransport{0x04, 0x01, 0x00, 0x50, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88,
                       0x50, 0x18, 0x01, 0xf5, 0x6b, 0x3c, 0x00, 0x07, 'G',  'E',  'T',  ' '};

TEST(Record, FieldsOfEveryProtocolNumber) {
    const std::map<int, std::string> names{
        {1, "ICMP"},  {2, "IGMP"},  {3, "GGP"},   {4, "IPinIP"}, {6, "TCP"},    {7, "CBT"},    {11, "NVP"},
        {17, "UDP"},  {18, "TMux"}, {20, "HMP"},  {27, "RDP"},   {28, "IRTP"},  {30, "NETBLT"}, {35, "IDPR"},
        {38, "IDPR"}, {42, "SDRP"}, {46, "RSVP"}, {47, "GRE"},   {50, "ESP"},   {51, "AH"},    {54, "NARP"},
        {55, "MEP"},  {57, "SKIP"}, {58, "ICMPv6"}, {81, "VMTP"}, {89, "OSPF"}, {92, "MTP"},   {101, "IFMP"},
        {103, "PIM"}, {108, "IPPCP"}, {112, "VRRP"}, {132, "SCTP"}};
    CPacketRecord reused;
    for (int protocol = 0; protocol < 256; ++protocol) {
        for (bool fullInfo : {false, true}) {
            SCOPED_TRACE(testing::Message() << "protocol " << protocol << (fullInfo ? ", full" : ", reduced"));
            const Decoded r = Decode(Ipv4(static_cast<std::uint8_t>(protocol), kTransport), fullInfo, true);
            const auto listed = names.find(protocol);
            EXPECT_STREQ(r.record->protocolName, listed == names.end() ? "<unknown>" : listed->second.c_str());
            EXPECT_STREQ(r.record->sourceAddress, "192.168.1.10");
            EXPECT_STREQ(r.record->destinationAddress, "192.168.1.20");
            EXPECT_STREQ(r.record->lengthText, "44");
            // The protocol text is the decoder's part of the text, between the
            // address pieces and the message.
            const std::size_t start = r.text.find("Dest Addr: 192.168.1.20   \t") + 27;
            const std::size_t end = r.text.find("\r\nIP MESSAGE:\r\n");
            ASSERT_NE(end, std::string::npos);
            EXPECT_EQ(r.record->protocolText, listed == names.end() ? "" : r.text.substr(start, end - start));
            const bool ports = protocol == 6 || protocol == 17 || protocol == 132;
            EXPECT_STREQ(r.record->sourcePort, ports ? "1025" : "");
            EXPECT_STREQ(r.record->destinationPort, ports ? "80" : "");
            // The record keeps the bytes written behind the text.
            EXPECT_EQ(r.Message(), r.text.substr(end + 15));
            EXPECT_TRUE(r.terminated);
            // A record reused, as the capture run reuses those it dropped, ends up the same.
            std::vector<char> area(kDecodedTextSize);
            int accepted = 0, length = 0;
            reused.Reset();
            DecodeIpDatagram(Ipv4(static_cast<std::uint8_t>(protocol), kTransport), 44, accepted, area, length, {},
                             {}, {}, {}, fullInfo, 1, reused);
            EXPECT_EQ(Fields(reused), Fields(*r.record));
        }
    }
    const Decoded plain = Decode(Ipv4(6, kTransport), true, false);
    EXPECT_FALSE(plain.record->HasMessage());
    EXPECT_EQ(plain.record->Datagram().bytes.size(), 44u);  // kept whole all the same
}

TEST(FilterMatch, UnevenListsAndRejectedDatagrams) {
    const Bytes tcp = Ipv4(6, kTransport);
    const std::uint32_t a = Address(10), b = Address(20), other = Address(99);
    // Only complete entries take part: nothing is read past the shorter list.
    const std::pair<Filters, int> cases[] = {
        {{{other, a}, {}, {0}, {}}, 0},
        {{{other, a}, {}, {0, 0, 0, 0}, {}}, 1},
        {{{other}, {b, b}, {}, {443}}, 0},
        {{{other}, {b, b}, {}, {443, 80}}, 1},
    };
    for (const auto& [filters, accepted] : cases) EXPECT_EQ(Decode(tcp, true, true, filters).accepted, accepted);

    const Decoded rejected = Decode(tcp, true, true, {{other}, {}, {0}, {}}, SIZE_MAX, 64);
    EXPECT_EQ(rejected.accepted, 0);
    EXPECT_EQ(rejected.returned, 20);
    EXPECT_EQ(rejected.textLength, -1);
    EXPECT_TRUE(rejected.guardIntact);
    EXPECT_STREQ(rejected.record->lengthText, "");
    EXPECT_FALSE(rejected.record->Datagram().block);
}

TEST(Bounds, NothingIsReadBeyondTheReceivedBytes) {
    // A TCP header lies in the buffer behind the 20 received bytes.
    const Decoded r = Decode(Ipv4(6, kTransport), true, true, {}, 20);
    EXPECT_STREQ(r.record->sourcePort, "0");
    EXPECT_STREQ(r.record->lengthText, "20");
    EXPECT_EQ(r.Message(), "");
    // A length beyond the buffer does not invent bytes.
    const Decoded longer = Decode(Ipv4(17, {0x00, 0x35, 0x00, 0x35}), false, true, {}, 5000);
    EXPECT_STREQ(longer.record->lengthText, "24");
    EXPECT_EQ(longer.Message(), std::string("\x00\x35\x00\x35", 4));
    // Headers that claim more than was received leave an empty message.
    Bytes d = Ipv4(6, kTransport);
    d[0] = 0x4F;
    const Decoded clamped = Decode(d, true, true);
    EXPECT_EQ(clamped.returned, 60);
    ASSERT_TRUE(clamped.record->HasMessage());
    EXPECT_EQ(clamped.Message(), "");
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
    // Smaller areas, cut inside every kind of piece, hold a prefix of the same
    // text; the record does not change.
    const Decoded whole = Decode(Ipv4(6, kTransport), true, true);
    for (std::size_t size = 0; size <= whole.text.size() + 1; ++size) {
        const Decoded cut = Decode(Ipv4(6, kTransport), true, true, {}, SIZE_MAX, size);
        ASSERT_TRUE(cut.guardIntact) << size;
        EXPECT_EQ(cut.text, whole.text.substr(0, size));
        EXPECT_EQ(cut.terminated, size > whole.text.size());
        EXPECT_STREQ(cut.record->protocolText, whole.record->protocolText);
        EXPECT_EQ(cut.Message(), whole.Message());
    }
}

}  // namespace
