// Capture files read back through the file source: capture times, pcapng,
// the largest datagram, and how damaged files are reported. Where each link
// layer's datagram begins and ends is the golden suite's (the link-*
// captures of tests/decode/golden); a cut datagram, garbage and a missing
// file are reported end to end in orn-decode's tests.

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

Bytes Ether(std::uint16_t type) {
    return Bytes{2, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 1, std::uint8_t(type >> 8), std::uint8_t(type)};
}
Bytes Tag(std::uint16_t next) { return {0x00, 0x64, std::uint8_t(next >> 8), std::uint8_t(next)}; }

struct Frame {
    Bytes bytes;
    std::uint32_t fraction = 0;  // micro- or nanoseconds, as the file says
};

struct Received {
    std::vector<Bytes> datagrams;
    std::vector<std::uint32_t> nanoseconds;
    ReceiveResult end = ReceiveResult::Failed;
    unsigned pauses = 0;  // NothingYet: a run may look at its Stop
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
            pcap_pkthdr header{};
            header.ts.tv_sec = 1796508985;
            header.ts.tv_usec = static_cast<decltype(header.ts.tv_usec)>(frame.fraction);
            header.caplen = header.len = std::uint32_t(frame.bytes.size());
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
        while (got.opened == CaptureFailure::None && (got.end = source.Receive(d, 0)) != ReceiveResult::EndOfFile &&
               got.end != ReceiveResult::Failed) {
            if (got.end == ReceiveResult::NothingYet && ++got.pauses) continue;
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

// Behind a VLAN tag, so that the frame is longer than any datagram.
TEST_F(FileCaptureSourceTest, TheLargestDatagramWhole) {
    const Bytes huge = Udp(std::string(65535 - 28, 'h'));
    WritePcap(DLT_EN10MB, {{Ether(0x8100) + Tag(0x0800) + huge}});
    EXPECT_EQ(ReadAll().datagrams, std::vector<Bytes>{huge});
}

// A run replaying a file looks at its Stop between every 256 frames passed over.
TEST_F(FileCaptureSourceTest, ALongStretchWithoutIpv4PausesForAStop) {
    std::vector<Frame> frames(600, Frame{Ether(0x0806) + Bytes(28, 0)});
    frames.push_back({Ether(0x0800) + kPing});
    WritePcap(DLT_EN10MB, frames);
    const Received got = ReadAll();
    EXPECT_EQ(got.datagrams, std::vector<Bytes>{kPing});
    EXPECT_EQ(got.pauses, 2u);
}

TEST_F(FileCaptureSourceTest, CaptureTimesInMicroAndNanoseconds) {
    WritePcap(DLT_RAW, {{kPing, 123456}, {kPing, 999999}});
    EXPECT_EQ(ReadAll().nanoseconds, (std::vector<std::uint32_t>{123456000, 999999000}));
    WritePcap(DLT_RAW, {{kPing, 123456789}}, true);
    EXPECT_EQ(ReadAll().nanoseconds, std::vector<std::uint32_t>{123456789});
}

// Paths are UTF-8 on every system, names outside a Windows ANSI code page too,
// and an empty file is still told from a damaged one.
TEST_F(FileCaptureSourceTest, NamesInAnyScriptOpen) {
    const std::string named = dir + "/Mitschnitt-\u00fc-\u65e5\u672c";
    const auto nativeNamed = std::filesystem::path(std::u8string(named.begin(), named.end()));
    WritePcap(DLT_RAW, {{kPing}});
    std::filesystem::rename(path, nativeNamed);
    path = named;
    EXPECT_EQ(ReadAll().datagrams, std::vector<Bytes>{kPing});
    CFileCaptureSource regularOnly(named, true);
    regularOnly.Startup(), regularOnly.FindInterface();
    EXPECT_EQ(regularOnly.Activate(), CaptureFailure::None) << regularOnly.ErrorText();
    std::filesystem::resize_file(nativeNamed, 0);
    const Received empty = ReadAll();
    EXPECT_EQ(empty.opened, CaptureFailure::Initialization);
    EXPECT_EQ(empty.error, "empty file, not a capture");
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
