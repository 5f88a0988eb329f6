// orn-decode in-process: usage errors, damaged files among good ones and
// rotating files in a directory. The entries themselves, and the stored filter
// set, are the golden suite's (tests/decode/golden/).

#include "capture/DecodeCommand.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "tests/capture/CaptureTestSupport.h"

namespace {

std::string Contents(FILE* file) {
    const std::string text = ReadFile("/proc/self/fd/" + std::to_string(fileno(file)));
    std::fclose(file);
    return text;
}

class DecodeCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    struct Result {
        int status;
        std::string out, err;
    };
    Result Run(const std::vector<std::string>& arguments) {
        FILE *out = std::tmpfile(), *err = std::tmpfile();
        const int status = RunDecodeCommand(arguments, fileno(out), fileno(err));
        return {status, Contents(out), Contents(err)};
    }
    std::string Path(const std::string& name) const { return dir.path + "/" + name; }
    CTempDir dir;
};

// 60 bytes of ICMP a second later.
const Frame kPing{Ipv4("10.4.5.6", "10.1.2.3", 1, Bytes(40, 8)), 1796508986};
const std::string kPingEntry =
    "<Sat, 05 Dec 2026 22:16:26>\tIP HEADER\tSrc Addr: 10.4.5.6       \tDest Addr: 10.1.2.3       \tICMP PACKET\t\r\n\r\n";

TEST_F(DecodeCommandTest, UsageErrorsAndHelp) {
    Result r = Run({"--full", "--bogus", "any.pcap"});
    EXPECT_EQ(std::tie(r.status, r.out, r.err),
              std::make_tuple(2, "", "orn-decode: unknown option '--bogus'\nTry 'orn-decode --help' for more.\n"));
    EXPECT_EQ(Run({}).status, 2);
    r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: orn-decode [--full] [--messages] [--filters] [-o DIR] FILE..."), std::string::npos);
}

TEST_F(DecodeCommandTest, DamagedFilesAreReportedAndTheOthersStillDecoded) {
    WriteCapture(Path("good.pcap"), {kPing});
    WriteCapture(Path("cut.pcap"), {kPing, kPing, kPing});
    const std::string whole = ReadFile(Path("cut.pcap"));
    std::ofstream(Path("cut.pcap"), std::ios::binary) << whole.substr(0, whole.size() - 10);
    std::ofstream(Path("junk.pcap")) << "no capture in here\n";
    Result r = Run({Path("junk.pcap"), Path("cut.pcap"), Path("missing.pcap"), Path("good.pcap")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "orn-decode: " + Path("junk.pcap") + ": not a pcap or pcapng capture file\n" +
                         "orn-decode: " + Path("cut.pcap") +
                         ": truncated capture file (tried to read 60 captured bytes, only got 50)\n" +
                         "orn-decode: " + Path("missing.pcap") + ": No such file or directory\n");
    EXPECT_EQ(r.out, kPingEntry + kPingEntry + kPingEntry);  // two before the damage, then the good file
}

TEST_F(DecodeCommandTest, WritesRotatingLogFilesNamedByCaptureTime) {
    std::vector<Frame> frames;
    for (int i = 0; i < 300; ++i)
        frames.push_back({Udp("10.1.2.3", "10.4.5.6", 1000, 2000, std::string(1372, char('a' + i % 26))),
                          1796508985 + i / 100});
    WriteCapture(Path("big.pcap"), frames);
    const std::string entries = Run({"--messages", Path("big.pcap")}).out;

    Result r = Run({"--messages", "-o", Path("logs/deeper"), Path("big.pcap")});
    EXPECT_EQ(std::tie(r.status, r.out, r.err), std::make_tuple(0, "", ""));
    ASSERT_EQ(FilesIn(Path("logs/deeper")),
              (std::vector<std::string>{"ORN_2026_12_05_22_16_25.log", "ORN_2026_12_05_22_16_26.log"}));
    std::string first = ReadFile(Path("logs/deeper/ORN_2026_12_05_22_16_25.log"));
    const std::string note = "\r\nCreating new log file at Sat, 05 Dec 2026 22:16:26";
    ASSERT_GE(first.size(), 262144u + note.size());
    ASSERT_EQ(first.substr(first.size() - note.size()), note);
    first.resize(first.size() - note.size());
    EXPECT_EQ(first + ReadFile(Path("logs/deeper/ORN_2026_12_05_22_16_26.log")), entries);

    std::ofstream(Path("plain")) << "";
    r = Run({"-o", Path("plain"), Path("big.pcap")});
    EXPECT_EQ(std::tie(r.status, r.err),
              std::make_tuple(1, "orn-decode: " + Path("plain") + ": cannot create a log file there\n"));
}

}  // namespace
