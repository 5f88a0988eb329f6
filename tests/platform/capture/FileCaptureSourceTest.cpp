// Capture files of every supported link type, written here and read back
// through the file source: where each datagram starts, how long it is, what
// is passed over, and how damaged files are reported. A cut datagram, garbage
// and a missing file are reported end to end in orn-decode's tests.

#include "platform/capture/PcapSource.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <pcap/pcap.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// UDP 10.1.2.3:5353 -> 10.4.5.6:53 carrying `payload`.
Bytes Udp(const std::string& payload) {
    const std::size_t total = 28 + payload.size(), udp = total - 20;
    return Bytes{0x45, 0, std::uint8_t(total >> 8), std::uint8_t(total), 0x1c, 0x46, 0x40, 0, 0x40, 0x11, 0, 0, 10, 1,
                 2, 3, 10, 4, 5, 6, 0x14, 0xe9, 0, 0x35, std::uint8_t(udp >> 8), std::uint8_t(udp), 0, 0} +
           Bytes(payload.begin(), payload.end());
}

// ICMP echo without data: 28 bytes, shorter than Ethernet's minimum payload.
const Bytes kPing = {0x45, 0, 0, 0x1c, 0, 1, 0, 0, 0x40, 1, 0, 0, 192, 168, 0, 1, 192, 168, 0, 2, 8, 0, 0xf7, 0xfe, 0, 1, 0, 0};
const Bytes kIpv6 = Bytes{0x60, 0, 0, 0, 0, 0, 0x3b, 0x40} + Bytes(32, 0xfe);

Bytes Ether(std::uint16_t type) {
    return Bytes{2, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 1, std::uint8_t(type >> 8), std::uint8_t(type)};
}
Bytes Tag(std::uint16_t next) { return {0x00, 0x64, std::uint8_t(next >> 8), std::uint8_t(next)}; }
// An MPLS label stack entry: label 16 + n, TTL 64.
Bytes Label(std::uint8_t n, bool bottom) { return {0x00, 0x01, std::uint8_t((n << 4) | bottom), 0x40}; }

// A Linux NFLOG frame as the kernel logs IPv4: packet header, prefix, input
// interface and time stamp TLVs, then the payload; `extra` goes behind it.
// TLV lengths and types are in this host's byte order, values padded to 4.
Bytes Tlv(std::uint16_t type, Bytes value, std::uint16_t length = 0) {
    const std::uint16_t head[2] = {length ? length : std::uint16_t(4 + value.size()), type};
    while (value.size() % 4) value.push_back(0);
    return Bytes(reinterpret_cast<const std::uint8_t*>(head), reinterpret_cast<const std::uint8_t*>(head) + 4) + value;
}
Bytes Nflog(const Bytes& payload, std::uint8_t family = 2, const Bytes& extra = {}) {
    return Bytes{0, family, 0, 5} + Tlv(1, {0x08, 0x00, 1, 0}) + Tlv(10, {'o', 'r', 'n', 0}) + Tlv(4, {0, 0, 0, 3}) +
           Tlv(3, Bytes(16, 0)) + Tlv(9, payload) + extra;
}

struct Frame {
    Bytes bytes;
    std::uint32_t wireLength = 0;  // 0: as captured
    std::uint32_t fraction = 0;    // micro- or nanoseconds, as the file says
};

struct Received {
    std::vector<Bytes> datagrams;
    std::vector<std::uint32_t> nanoseconds;
    ReceiveResult end = ReceiveResult::Failed;
    CaptureFailure opened = CaptureFailure::None;
    CaptureStatistics statistics;
    std::string error;
};

class FileCaptureSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orn-pcap-test.XXXXXX";
        dir = mkdtemp(pattern);
        path = dir + "/capture";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void WritePcap(int linkType, const std::vector<Frame>& frames, bool nano = false) {
        pcap_t* dead = pcap_open_dead_with_tstamp_precision(linkType, 262144, nano);
        pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
        ASSERT_NE(dumper, nullptr);
        for (const Frame& frame : frames) {
            pcap_pkthdr header{{1796508985, frame.fraction}, std::uint32_t(frame.bytes.size()),
                               frame.wireLength ? frame.wireLength : std::uint32_t(frame.bytes.size())};
            pcap_dump(reinterpret_cast<u_char*>(dumper), &header, frame.bytes.data());
        }
        pcap_dump_close(dumper);
        pcap_close(dead);
    }
    void WriteBytes(const Bytes& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    Received ReadAll() {
        Received got;
        CFileCaptureSource source(path);
        source.Startup();  // the capture run's order of calls
        source.FindInterface();
        got.opened = source.Activate();
        CapturedDatagram d;
        while (got.opened == CaptureFailure::None && (got.end = source.Receive(d, 0)) == ReceiveResult::Datagram) {
            got.datagrams.emplace_back(d.data, d.data + d.length);
            got.nanoseconds.push_back(d.nanoseconds);
            EXPECT_EQ(d.seconds, 1796508985);
        }
        got.error = source.ErrorText();
        EXPECT_EQ(got.error.find('\n'), std::string::npos);  // one line
        source.Stop();
        got.statistics = source.Statistics();
        return got;
    }

    std::string dir, path;
};

TEST_F(FileCaptureSourceTest, FindsTheDatagramBehindEveryLinkLayer) {
    const Bytes a = Udp("a"), b = Udp("bb"), c = Udp("ccc"), d = Udp("dddd"), e = Udp("eeeee");
    const Bytes pppoe = {0x11, 0x00, 0x12, 0x34, 0x00, 0x00};
    const Bytes sll = {0, 4, 0, 1, 0, 6, 2, 0, 0, 0, 0, 1, 0, 0};
    const Bytes sll2 = {0, 0, 0, 0, 0, 3, 0, 1, 4, 6, 2, 0, 0, 0, 0, 1, 0, 0};
    Bytes unbounded = b;  // its own total length claims more than it holds
    unbounded[2] = unbounded[3] = 0xff;
    struct Case {
        int linkType;
        std::vector<Bytes> frames;
        std::vector<Bytes> expected;
    };
    const Case cases[] = {
        {DLT_EN10MB,
         {Ether(0x0800) + a, Ether(0x0806) + Bytes(28, 1), Ether(0x86dd) + kIpv6,
          Ether(0x8100) + Tag(0x0800) + b,                              // 802.1Q
          Ether(0x88a8) + Tag(0x8100) + Tag(0x0800) + c,                // 802.1ad
          Ether(0x9100) + Tag(0x88a8) + Tag(0x8100) + Tag(0x0800) + d,  // any depth
          Ether(0x8100) + Tag(0x86dd) + kIpv6, Ether(0x8864) + pppoe + Bytes{0x00, 0x21} + e,
          Ether(0x8864) + pppoe + Bytes{0xc0, 0x21, 1, 1},
          Ether(0x8847) + Label(0, false) + Label(1, true) + a,             // MPLS, two labels
          Ether(0x8848) + Label(2, true) + b,                              // multicast MPLS
          Ether(0x8100) + Tag(0x8847) + Label(3, true) + c,
          Ether(0x8847) + Label(4, true) + kIpv6,                          // not IPv4: passed over
          Ether(0x8847) + Label(5, true) + Bytes(4, 0) + Ether(0x0800) + d,  // a pseudowire: passed over
          Ether(0x8847) + Label(6, false) + Label(7, false)},              // cut inside the stack
         {a, b, c, d, e, a, b, c}},
        {DLT_NFLOG,
         {Nflog(a), Nflog(kIpv6, 10), Nflog(kIpv6), Nflog(unbounded, 2, Tlv(11, {0, 0, 3, 0xe8})),
          Bytes{0, 2, 0, 0} + Tlv(9, c, 2),                                // a length that cannot be
          Bytes{0, 2, 0, 0} + Tlv(10, {'x'}, 200) + Tlv(9, d),             // one that runs past the frame
          Bytes{0, 2, 0, 0} + Tlv(10, {'x'}) + Tlv(9, e, 4 + 40),          // a payload cut by the capture
          Bytes{0, 2, 0, 0} + Tlv(10, {'x'}), Bytes{0, 2, 0}},
         {a, unbounded, e}},
        {DLT_LINUX_SLL,
         {sll + Bytes{8, 0} + a, sll + Bytes{0x86, 0xdd} + kIpv6, sll + Bytes{0x81, 0} + Tag(0x0800) + b, sll + Bytes{8, 0}},
         {a, b}},
        {DLT_LINUX_SLL2, {Bytes{8, 0} + sll2 + c, Bytes{0x86, 0xdd} + sll2 + kIpv6, Bytes{8, 6} + sll2 + Bytes(28, 0)}, {c}},
        {DLT_RAW, {a, kIpv6}, {a}},
        {DLT_IPV4, {b}, {b}},
        {DLT_NULL, {Bytes{2, 0, 0, 0} + c, Bytes{0, 0, 0, 2} + d, Bytes{30, 0, 0, 0} + kIpv6, Bytes{0, 0, 0, 24} + kIpv6}, {c, d}},
        {DLT_LOOP, {Bytes{0, 0, 0, 2} + e, Bytes{2, 0, 0, 0} + a, Bytes{0, 0, 0, 28} + kIpv6}, {e, a}},
        {DLT_PPP,
         {Bytes{0xff, 3, 0, 0x21} + a, Bytes{0, 0x21} + b, Bytes{0x21} + c, Bytes{0xff, 3, 0, 0x57} + kIpv6,
          Bytes{0xff, 3, 0xc0, 0x21, 1, 1, 0, 4}},
         {a, b, c}},
        {DLT_C_HDLC, {Bytes{0x0f, 0, 8, 0} + d, Bytes{0x8f, 0, 8, 0} + e, Bytes{0x0f, 0, 0x86, 0xdd} + kIpv6, Bytes{0x8f, 0, 0x80, 0x35}},
         {d, e}},
        {DLT_PPP_SERIAL, {Bytes{0xff, 3, 0, 0x21} + a, Bytes{0x0f, 0, 8, 0} + b}, {a, b}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(pcap_datalink_val_to_name(c.linkType));
        std::vector<Frame> frames;
        for (const Bytes& f : c.frames) frames.push_back({f});
        WritePcap(c.linkType, frames);
        Received got = ReadAll();
        EXPECT_EQ(got.end, ReceiveResult::EndOfFile) << got.error;
        EXPECT_EQ(got.datagrams, c.expected);
        EXPECT_EQ(got.statistics.datagrams, c.expected.size());
        EXPECT_EQ(got.statistics.otherFrames, c.frames.size() - c.expected.size());
    }
}

TEST_F(FileCaptureSourceTest, CutFramesPaddingAndTheLargestDatagram) {
    const Bytes whole = Udp(std::string(72, 'p'));  // 100 bytes
    WritePcap(DLT_EN10MB, {
                              {Ether(0x0800) + Bytes(whole.begin(), whole.begin() + 46), 14 + 100},  // caplen < len
                              {Ether(0x0800) + kPing + Bytes(18, 0)},  // padded: the padding is not the datagram's
                              {Bytes(10, 2)},                          // shorter than the Ethernet header
                              {Ether(0x0800)},                         // the header alone
                              {Ether(0x8100) + Bytes{0x00}},           // cut inside the tag
                              {Ether(0x8100) + Tag(0x0800)},           // a tag, then nothing
                              {Ether(0x0800) + Bytes{0x45, 0x00}},     // two bytes of an IP header
                          });
    Received got = ReadAll();
    EXPECT_EQ(got.end, ReceiveResult::EndOfFile);
    EXPECT_EQ(got.datagrams, (std::vector<Bytes>{Bytes(whole.begin(), whole.begin() + 46), kPing, {0x45, 0x00}}));
    EXPECT_EQ(got.statistics.otherFrames, 4u);

    Bytes lying = kPing;  // a total length too small to be true is not trusted
    lying[3] = 8;
    WritePcap(DLT_RAW, {{lying}, {kPing + Bytes(4, 0xee)}});
    EXPECT_EQ(ReadAll().datagrams, (std::vector<Bytes>{lying, kPing}));

    const Bytes huge = Udp(std::string(65535 - 28, 'h'));
    WritePcap(DLT_EN10MB, {{Ether(0x8100) + Tag(0x0800) + huge}});
    got = ReadAll();
    ASSERT_EQ(got.datagrams.size(), 1u);
    EXPECT_EQ(got.datagrams[0], huge);
}

TEST_F(FileCaptureSourceTest, CaptureTimesInMicroAndNanoseconds) {
    WritePcap(DLT_RAW, {{kPing, 0, 123456}, {kPing, 0, 999999}});
    EXPECT_EQ(ReadAll().nanoseconds, (std::vector<std::uint32_t>{123456000, 999999000}));
    WritePcap(DLT_RAW, {{kPing, 0, 123456789}}, true);
    EXPECT_EQ(ReadAll().nanoseconds, std::vector<std::uint32_t>{123456789});
}

Bytes Le32(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)}; }
Bytes Block(std::uint32_t type, Bytes body) {
    while (body.size() % 4) body.push_back(0);
    auto total = std::uint32_t(body.size() + 12);
    return Le32(type) + Le32(total) + body + Le32(total);
}

TEST_F(FileCaptureSourceTest, ReadsPcapngAndReportsOneCutShort) {
    const Bytes a = Udp("pcapng one"), b = Udp("pcapng two");
    auto packet = [](const Bytes& frame, std::uint64_t fraction) {
        const std::uint64_t us = 1796508985ULL * 1000000 + fraction;
        return Block(6, Le32(0) + Le32(std::uint32_t(us >> 32)) + Le32(std::uint32_t(us)) +
                            Le32(std::uint32_t(frame.size())) + Le32(std::uint32_t(frame.size())) + frame);
    };
    Bytes file = Block(0x0A0D0D0A, Le32(0x1A2B3C4D) + Bytes{1, 0, 0, 0} + Le32(~0u) + Le32(~0u)) +
                 Block(1, Bytes{1, 0, 0, 0} + Le32(0)) + packet(Ether(0x0800) + a, 123456) +
                 packet(Ether(0x0806) + Bytes(28, 0), 200000) + packet(Ether(0x8100) + Tag(0x0800) + b, 1);
    WriteBytes(file);
    Received got = ReadAll();
    EXPECT_EQ(got.end, ReceiveResult::EndOfFile) << got.error;
    EXPECT_EQ(got.datagrams, (std::vector<Bytes>{a, b}));
    EXPECT_EQ(got.nanoseconds, (std::vector<std::uint32_t>{123456000, 1000}));
    EXPECT_EQ(got.statistics.otherFrames, 1u);

    WriteBytes(Bytes(file.begin(), file.end() - 10));
    got = ReadAll();
    EXPECT_EQ(got.datagrams.size(), 1u);
    EXPECT_EQ(got.end, ReceiveResult::Failed);
    EXPECT_EQ(got.error.find("truncated capture file"), 0u) << got.error;
}

TEST_F(FileCaptureSourceTest, DamagedAndForeignFilesGiveOneClearLine) {
    const Bytes a = Udp("x");
    WritePcap(DLT_EN10MB, {{Ether(0x0800) + a}, {Ether(0x0800) + a}});
    std::ifstream in(path, std::ios::binary);
    const Bytes good{std::istreambuf_iterator<char>(in), {}};
    const std::size_t firstEnd = 24 + 16 + 14 + a.size();
    struct Case {
        Bytes bytes;
        std::size_t datagrams;
        const char* error;  // what the text begins with
    };
    const Case cases[] = {
        {Bytes(good.begin(), good.begin() + firstEnd + 7), 1, "truncated capture file (tried to read 16 header bytes, only got 7)"},
        {Bytes(good.begin(), good.begin() + 10), 0, "truncated capture file ("},
        {Bytes(), 0, "empty file, not a capture"},
    };
    for (const Case& c : cases) {
        WriteBytes(c.bytes);
        Received got = ReadAll();
        EXPECT_EQ(got.datagrams.size(), c.datagrams) << c.error;
        EXPECT_EQ(got.opened, c.datagrams ? CaptureFailure::None : CaptureFailure::Initialization) << c.error;
        EXPECT_EQ(got.error.rfind(c.error, 0), 0u) << got.error;
    }
    WritePcap(DLT_IEEE802_11, {{Bytes(24, 0)}});
    Received wifi = ReadAll();
    EXPECT_EQ(wifi.opened, CaptureFailure::Initialization);
    EXPECT_EQ(wifi.error, "link type IEEE802_11 (105) is not supported");
}

}  // namespace
