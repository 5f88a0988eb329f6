// Capture files of every supported link type, written here, read back
// through the file source: where each datagram starts, how long it is, what
// is passed over, and how damaged files are reported.

#include "platform/capture/PcapSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <pcap/pcap.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A UDP datagram 10.1.2.3:5353 -> 10.4.5.6:53 whose payload is `payload`.
Bytes UdpDatagram(const std::string& payload) {
    std::uint16_t total = static_cast<std::uint16_t>(28 + payload.size());
    const std::uint8_t header[28] = {
        0x45, 0x00, static_cast<std::uint8_t>(total >> 8), static_cast<std::uint8_t>(total),
        0x1c, 0x46, 0x40, 0x00, 0x40, 0x11, 0x00, 0x00, 10, 1, 2, 3, 10, 4, 5, 6,
        0x14, 0xe9, 0x00, 0x35, static_cast<std::uint8_t>((total - 20) >> 8),
        static_cast<std::uint8_t>(total - 20), 0x00, 0x00};
    Bytes ip(total);
    std::copy(header, header + 28, ip.begin());
    std::copy(payload.begin(), payload.end(), ip.begin() + 28);
    return ip;
}

// ICMP echo request without data: 28 bytes, shorter than Ethernet's minimum.
const Bytes kPing = {0x45, 0x00, 0x00, 0x1c, 0x00, 0x01, 0x00, 0x00, 0x40, 0x01, 0x00, 0x00, 192, 168, 0, 1,
                     192,  168,  0,    2,    0x08, 0x00, 0xf7, 0xfe, 0x00, 0x01, 0x00, 0x00};

// An IPv6 header's first bytes (version 6): never a datagram for us.
const Bytes kIpv6 = {0x60, 0x00, 0x00, 0x00, 0x00, 0x08, 0x11, 0x40, 0xfe, 0x80, 0, 0, 0, 0, 0, 0,
                     0,    0,    0,    0,    0,    0,    0,    1,    0xfe, 0x80, 0, 0, 0, 0, 0, 0,
                     0,    0,    0,    0,    0,    0,    0,    2,    0,    1,    0, 2, 0, 8, 0, 0};

const Bytes kMacs = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

Bytes Ether(std::uint16_t type) { return kMacs + Bytes{static_cast<std::uint8_t>(type >> 8), static_cast<std::uint8_t>(type)}; }
Bytes Tag(std::uint16_t tci, std::uint16_t next) {
    return {static_cast<std::uint8_t>(tci >> 8), static_cast<std::uint8_t>(tci), static_cast<std::uint8_t>(next >> 8),
            static_cast<std::uint8_t>(next)};
}

struct Frame {
    Bytes bytes;
    std::uint32_t wireLength = 0;  // 0: as captured
    std::uint32_t seconds = 1796508985;
    std::uint32_t fraction = 0;    // micro- or nanoseconds, as the file says
};

class CTempDir {
public:
    CTempDir() {
        char pattern[] = "/tmp/orn-pcap-test.XXXXXX";
        path = mkdtemp(pattern);
    }
    ~CTempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

void WritePcap(const std::string& path, int linkType, const std::vector<Frame>& frames,
               bool nanoseconds = false) {
    pcap_t* dead = pcap_open_dead_with_tstamp_precision(
        linkType, 262144, nanoseconds ? PCAP_TSTAMP_PRECISION_NANO : PCAP_TSTAMP_PRECISION_MICRO);
    ASSERT_NE(dead, nullptr);
    pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
    ASSERT_NE(dumper, nullptr) << pcap_geterr(dead);
    for (const Frame& frame : frames) {
        pcap_pkthdr header{};
        header.ts.tv_sec = frame.seconds;
        header.ts.tv_usec = frame.fraction;
        header.caplen = static_cast<bpf_u_int32>(frame.bytes.size());
        header.len = frame.wireLength ? frame.wireLength : header.caplen;
        pcap_dump(reinterpret_cast<u_char*>(dumper), &header, frame.bytes.data());
    }
    pcap_dump_close(dumper);
    pcap_close(dead);
}

struct Received {
    Bytes datagram;
    std::int64_t seconds;
    std::uint32_t nanoseconds;
};

struct ReadResult {
    std::vector<Received> datagrams;
    ReceiveResult end = ReceiveResult::Failed;
    CaptureStatistics statistics;
    std::string error;
};

ReadResult ReadAll(const std::string& path) {
    ReadResult result;
    CFileCaptureSource source(path);
    EXPECT_EQ(source.Startup(), CaptureFailure::None);
    EXPECT_EQ(source.FindInterface(), CaptureFailure::None);
    if (source.Activate() != CaptureFailure::None) {
        result.error = source.ErrorText();
        return result;
    }
    CapturedDatagram d;
    while ((result.end = source.Receive(d, 0)) == ReceiveResult::Datagram)
        result.datagrams.push_back({Bytes(d.data, d.data + d.length), d.seconds, d.nanoseconds});
    result.error = source.ErrorText();
    source.Stop();
    result.statistics = source.Statistics();
    return result;
}

class FileCaptureSourceTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) { return dir.path + "/" + name; }

    // Writes the frames with the link type and expects exactly `expected` back.
    void ExpectDatagrams(int linkType, const std::vector<Bytes>& frames, const std::vector<Bytes>& expected) {
        std::vector<Frame> records;
        for (const Bytes& f : frames) records.push_back({f});
        std::string path = Path("link" + std::to_string(linkType) + ".pcap");
        WritePcap(path, linkType, records);
        ReadResult got = ReadAll(path);
        EXPECT_EQ(got.end, ReceiveResult::EndOfFile) << got.error;
        ASSERT_EQ(got.datagrams.size(), expected.size()) << "link type " << linkType;
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(got.datagrams[i].datagram, expected[i]) << "link type " << linkType << ", datagram " << i;
        EXPECT_EQ(got.statistics.datagrams, expected.size());
        EXPECT_EQ(got.statistics.otherFrames, frames.size() - expected.size());
    }

    CTempDir dir;
};

TEST_F(FileCaptureSourceTest, EthernetWithAndWithoutVlanTags) {
    const Bytes a = UdpDatagram("plain"), b = UdpDatagram("802.1Q"), c = UdpDatagram("QinQ"),
                d = UdpDatagram("three tags"), e = UdpDatagram("PPPoE");
    ExpectDatagrams(DLT_EN10MB,
                    {
                        Ether(0x0800) + a,
                        Ether(0x0806) + Bytes(28, 0x01),                               // ARP
                        Ether(0x86dd) + kIpv6,                                         // IPv6
                        Ether(0x8100) + Tag(0x0064, 0x0800) + b,                       // 802.1Q
                        Ether(0x88a8) + Tag(0x00c8, 0x8100) + Tag(0x0064, 0x0800) + c,  // 802.1ad
                        Ether(0x9100) + Tag(1, 0x88a8) + Tag(2, 0x8100) + Tag(3, 0x0800) + d,
                        Ether(0x8100) + Tag(0x0064, 0x86dd) + kIpv6,                   // tagged IPv6
                        Ether(0x8864) + Bytes{0x11, 0x00, 0x12, 0x34, 0x00, 0x00, 0x00, 0x21} + e,
                        Ether(0x8864) + Bytes{0x11, 0x00, 0x12, 0x34, 0x00, 0x00, 0xc0, 0x21, 1, 1},  // LCP
                    },
                    {a, b, c, d, e});
}

TEST_F(FileCaptureSourceTest, LinuxCookedCaptures) {
    const Bytes a = UdpDatagram("sll"), b = UdpDatagram("sll tagged"), c = UdpDatagram("sll2");
    const Bytes sll = {0x00, 0x04, 0x00, 0x01, 0x00, 0x06, 0x02, 0, 0, 0, 0, 1, 0, 0};
    const Bytes sll2Tail = {0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x01, 0x04, 0x06,
                            0x02, 0,    0,    0,    0,    1,    0,    0};
    ExpectDatagrams(DLT_LINUX_SLL,
                    {sll + Bytes{0x08, 0x00} + a, sll + Bytes{0x86, 0xdd} + kIpv6,
                     sll + Bytes{0x81, 0x00} + Tag(7, 0x0800) + b, sll + Bytes{0x08, 0x00}},
                    {a, b});
    ExpectDatagrams(DLT_LINUX_SLL2,
                    {Bytes{0x08, 0x00} + sll2Tail + c, Bytes{0x86, 0xdd} + sll2Tail + kIpv6,
                     Bytes{0x08, 0x06} + sll2Tail + Bytes(28, 0)},
                    {c});
}

TEST_F(FileCaptureSourceTest, RawIpAndBsdLoopbackInBothByteOrders) {
    const Bytes a = UdpDatagram("raw"), b = UdpDatagram("ipv4"), c = UdpDatagram("null le"),
                d = UdpDatagram("null be"), e = UdpDatagram("loop");
    ExpectDatagrams(DLT_RAW, {a, kIpv6}, {a});
    ExpectDatagrams(DLT_IPV4, {b}, {b});
    ExpectDatagrams(DLT_NULL,
                    {Bytes{2, 0, 0, 0} + c, Bytes{0, 0, 0, 2} + d, Bytes{30, 0, 0, 0} + kIpv6,
                     Bytes{0, 0, 0, 24} + kIpv6},
                    {c, d});
    ExpectDatagrams(DLT_LOOP, {Bytes{0, 0, 0, 2} + e, Bytes{2, 0, 0, 0} + e, Bytes{0, 0, 0, 28} + kIpv6},
                    {e, e});
}

TEST_F(FileCaptureSourceTest, PppAndCiscoHdlc) {
    const Bytes a = UdpDatagram("ppp framed"), b = UdpDatagram("ppp bare"), c = UdpDatagram("ppp pfc"),
                d = UdpDatagram("hdlc"), e = UdpDatagram("serial hdlc");
    ExpectDatagrams(DLT_PPP,
                    {Bytes{0xff, 0x03, 0x00, 0x21} + a, Bytes{0x00, 0x21} + b, Bytes{0x21} + c,
                     Bytes{0xff, 0x03, 0x00, 0x57} + kIpv6, Bytes{0xff, 0x03, 0xc0, 0x21, 1, 1, 0, 4}},
                    {a, b, c});
    ExpectDatagrams(DLT_C_HDLC,
                    {Bytes{0x0f, 0x00, 0x08, 0x00} + d, Bytes{0x8f, 0x00, 0x08, 0x00} + d,
                     Bytes{0x0f, 0x00, 0x86, 0xdd} + kIpv6, Bytes{0x8f, 0x00, 0x80, 0x35}},
                    {d, d});
    ExpectDatagrams(DLT_PPP_SERIAL, {Bytes{0xff, 0x03, 0x00, 0x21} + a, Bytes{0x0f, 0x00, 0x08, 0x00} + e},
                    {a, e});
}

TEST_F(FileCaptureSourceTest, CutFramesAndPadding) {
    const Bytes whole = UdpDatagram(std::string(72, 'p'));  // 100 bytes
    Frame cut{Ether(0x0800) + Bytes(whole.begin(), whole.begin() + 46), 14 + 100};
    std::vector<Frame> frames = {
        cut,                                          // caplen < len: the captured part
        {Ether(0x0800) + kPing + Bytes(18, 0)},       // padded to 60 bytes: padding left out
        {Bytes(kMacs.begin(), kMacs.begin() + 10)},  // shorter than the Ethernet header
        {Ether(0x0800)},                              // header only
        {Ether(0x8100) + Bytes{0x00}},                // cut inside the tag
        {Ether(0x8100) + Tag(5, 0x0800)},             // tag, then nothing
        {Ether(0x0800) + Bytes{0x45, 0x00}},          // two bytes of an IP header
    };
    WritePcap(Path("cut.pcap"), DLT_EN10MB, frames);
    ReadResult got = ReadAll(Path("cut.pcap"));
    EXPECT_EQ(got.end, ReceiveResult::EndOfFile);
    ASSERT_EQ(got.datagrams.size(), 3u);
    EXPECT_EQ(got.datagrams[0].datagram, Bytes(whole.begin(), whole.begin() + 46));
    EXPECT_EQ(got.datagrams[1].datagram, kPing);
    EXPECT_EQ(got.datagrams[2].datagram, (Bytes{0x45, 0x00}));
    EXPECT_EQ(got.statistics.otherFrames, 4u);

    // A total length that is larger than the capture, or nonsense, is not trusted.
    Bytes lying = kPing;
    lying[3] = 0x08;  // claims 8 bytes
    WritePcap(Path("lying.pcap"), DLT_RAW, {{lying}, {kPing + Bytes(4, 0xee)}});
    got = ReadAll(Path("lying.pcap"));
    ASSERT_EQ(got.datagrams.size(), 2u);
    EXPECT_EQ(got.datagrams[0].datagram, lying);
    EXPECT_EQ(got.datagrams[1].datagram, kPing);

    // The largest datagram, carried with a link header, is delivered whole.
    Bytes huge = UdpDatagram(std::string(65535 - 28, 'h'));
    WritePcap(Path("huge.pcap"), DLT_EN10MB, {{Ether(0x8100) + Tag(1, 0x0800) + huge}});
    got = ReadAll(Path("huge.pcap"));
    ASSERT_EQ(got.datagrams.size(), 1u);
    EXPECT_EQ(got.datagrams[0].datagram.size(), 65535u);
    EXPECT_EQ(got.datagrams[0].datagram, huge);
}

TEST_F(FileCaptureSourceTest, CaptureTimesInMicroAndNanoseconds) {
    const Bytes a = UdpDatagram("t");
    WritePcap(Path("micro.pcap"), DLT_RAW, {{a, 0, 1796508985, 123456}, {a, 0, 1796508986, 999999}});
    WritePcap(Path("nano.pcap"), DLT_RAW, {{a, 0, 1796508985, 123456789}}, true);
    ReadResult micro = ReadAll(Path("micro.pcap"));
    ASSERT_EQ(micro.datagrams.size(), 2u);
    EXPECT_EQ(micro.datagrams[0].seconds, 1796508985);
    EXPECT_EQ(micro.datagrams[0].nanoseconds, 123456000u);
    EXPECT_EQ(micro.datagrams[1].seconds, 1796508986);
    EXPECT_EQ(micro.datagrams[1].nanoseconds, 999999000u);
    ReadResult nano = ReadAll(Path("nano.pcap"));
    ASSERT_EQ(nano.datagrams.size(), 1u);
    EXPECT_EQ(nano.datagrams[0].nanoseconds, 123456789u);
}

// pcapng: section header, interface description, enhanced packet blocks.
class CPcapngWriter {
public:
    explicit CPcapngWriter(std::uint16_t linkType) {
        Block(0x0A0D0D0A, Le32(0x1A2B3C4D) + Le16(1) + Le16(0) + Le32(0xffffffff) + Le32(0xffffffff));
        Block(0x00000001, Le16(linkType) + Le16(0) + Le32(0));
    }
    void Packet(const Bytes& frame, std::uint64_t microseconds) {
        Bytes body = Le32(0) + Le32(static_cast<std::uint32_t>(microseconds >> 32)) +
                     Le32(static_cast<std::uint32_t>(microseconds)) +
                     Le32(static_cast<std::uint32_t>(frame.size())) + Le32(static_cast<std::uint32_t>(frame.size())) +
                     frame;
        while (body.size() % 4) body.push_back(0);
        Block(0x00000006, body);
    }
    Bytes bytes;

private:
    static Bytes Le32(std::uint32_t v) {
        return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
                static_cast<std::uint8_t>(v >> 24)};
    }
    static Bytes Le16(std::uint16_t v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
    void Block(std::uint32_t type, const Bytes& body) {
        std::uint32_t total = static_cast<std::uint32_t>(body.size() + 12);
        bytes = bytes + Le32(type) + Le32(total) + body + Le32(total);
    }
};

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

TEST_F(FileCaptureSourceTest, ReadsPcapngFiles) {
    const Bytes a = UdpDatagram("pcapng one"), b = UdpDatagram("pcapng two");
    CPcapngWriter writer(1);
    writer.Packet(Ether(0x0800) + a, 1796508985123456ULL);
    writer.Packet(Ether(0x0806) + Bytes(28, 0), 1796508985200000ULL);
    writer.Packet(Ether(0x8100) + Tag(3, 0x0800) + b, 1796508986000001ULL);
    WriteBytes(Path("two.pcapng"), writer.bytes);
    ReadResult got = ReadAll(Path("two.pcapng"));
    EXPECT_EQ(got.end, ReceiveResult::EndOfFile) << got.error;
    ASSERT_EQ(got.datagrams.size(), 2u);
    EXPECT_EQ(got.datagrams[0].datagram, a);
    EXPECT_EQ(got.datagrams[0].seconds, 1796508985);
    EXPECT_EQ(got.datagrams[0].nanoseconds, 123456000u);
    EXPECT_EQ(got.datagrams[1].datagram, b);
    EXPECT_EQ(got.datagrams[1].nanoseconds, 1000u);
    EXPECT_EQ(got.statistics.otherFrames, 1u);

    // Cut inside the last block: what came before is delivered, then the damage.
    Bytes cut(writer.bytes.begin(), writer.bytes.end() - 10);
    WriteBytes(Path("cut.pcapng"), cut);
    got = ReadAll(Path("cut.pcapng"));
    EXPECT_EQ(got.datagrams.size(), 1u);
    EXPECT_EQ(got.end, ReceiveResult::Failed);
    EXPECT_NE(got.error.find("truncated capture file"), std::string::npos) << got.error;
}

TEST_F(FileCaptureSourceTest, DamagedFilesAreReportedInOneClearLine) {
    const Bytes a = UdpDatagram("x");
    WritePcap(Path("good.pcap"), DLT_EN10MB, {{Ether(0x0800) + a}, {Ether(0x0800) + a}});
    std::ifstream in(Path("good.pcap"), std::ios::binary);
    Bytes good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(good.size(), 24u + 2 * (16 + 14 + a.size()));

    struct Case {
        const char* name;
        Bytes bytes;
        std::size_t datagrams;
        const char* error;  // expected in ErrorText
        bool opens;
    };
    Bytes garbage(3000);
    std::uint32_t seed = 12345;
    for (auto& byte : garbage) byte = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    const Case cases[] = {
        {"cut in the data", Bytes(good.begin(), good.end() - 5), 1, "truncated capture file (tried to read", true},
        {"cut in a record header", Bytes(good.begin(), good.begin() + 24 + 16 + 14 + a.size() + 7), 1,
         "truncated capture file (tried to read 16 header bytes, only got 7)", true},
        {"cut in the file header", Bytes(good.begin(), good.begin() + 10), 0, "truncated capture file", false},
        {"empty", Bytes(), 0, "empty file, not a capture", false},
        {"garbage", garbage, 0, "not a pcap or pcapng capture file", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(Path("bad.pcap"), c.bytes);
        CFileCaptureSource source(Path("bad.pcap"));
        ASSERT_EQ(source.Startup(), CaptureFailure::None);
        CaptureFailure opened = source.Activate();
        EXPECT_EQ(opened == CaptureFailure::None, c.opens);
        std::size_t count = 0;
        if (opened == CaptureFailure::None) {
            CapturedDatagram d;
            ReceiveResult r;
            while ((r = source.Receive(d, 0)) == ReceiveResult::Datagram) ++count;
            EXPECT_EQ(r, ReceiveResult::Failed);
        } else {
            EXPECT_EQ(opened, CaptureFailure::Initialization);
        }
        EXPECT_EQ(count, c.datagrams);
        EXPECT_NE(source.ErrorText().find(c.error), std::string::npos) << source.ErrorText();
        EXPECT_EQ(source.ErrorText().find('\n'), std::string::npos);
    }

    CFileCaptureSource missing(Path("no such file"));
    EXPECT_EQ(missing.Activate(), CaptureFailure::Initialization);
    EXPECT_NE(missing.ErrorText().find("No such file or directory"), std::string::npos);
}

TEST_F(FileCaptureSourceTest, LinkTypesWithoutIpv4AreRefusedAtOpen) {
    WritePcap(Path("wifi.pcap"), DLT_IEEE802_11, {{Bytes(24, 0)}});
    CFileCaptureSource source(Path("wifi.pcap"));
    EXPECT_EQ(source.Activate(), CaptureFailure::Initialization);
    EXPECT_EQ(source.ErrorText(), "link type IEEE802_11 (105) is not supported");
    CapturedDatagram d;
    EXPECT_EQ(source.Receive(d, 0), ReceiveResult::Failed);
}

}  // namespace
