// orn-decode in-process: the command line's forms and errors, streams,
// damaged files among good ones, files without IPv4, rotating files in a
// directory and written captures. The entries themselves, the link layers and
// the stored filter set are the golden suite's (tests/decode/golden/).

#include "capture/DecodeCommand.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "filters/FilterSet.h"
#include "platform/capture/ReplacementFile.h"
#include "platform/registry/Registry.h"
#include "tests/capture/CaptureTestSupport.h"
#include "tests/platform/registry/RegistryTestSupport.h"

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

TEST_F(DecodeCommandTest, UsageErrorsHelpAndTheArgumentForms) {
    const std::string more = "\nTry 'orn-decode --help' for more.\n";
    const struct {
        std::vector<std::string> arguments;
        std::string err;
    } errors[] = {
        {{"--full", "--bogus", "any.pcap"}, "orn-decode: unknown option '--bogus'" + more},
        {{}, "orn-decode: no capture file given" + more},
        {{"--full", "--"}, "orn-decode: no capture file given" + more},
        {{"x.pcap", "-o"}, "orn-decode: option -o needs a directory" + more},
        {{"x.pcap", "-w"}, "orn-decode: option -w needs a file" + more},
    };
    for (const auto& e : errors) {
        Result r = Run(e.arguments);
        EXPECT_EQ(std::tie(r.status, r.out, r.err), std::make_tuple(2, "", e.err)) << e.arguments.size();
    }
    Result r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: orn-decode [--full] [--messages] [--filters] [-F EXPR] [-o DIR] [-w OUT] FILE..."), std::string::npos);

    // After "--" a file named like an option; values attached to their option.
    r = Run({"--", "--full"});
    EXPECT_EQ(std::tie(r.status, r.err), std::make_tuple(1, "orn-decode: --full: No such file or directory\n"));
    WriteCapture(Path("ping.pcap"), {kPing});
    r = Run({"-o" + Path("logs"), "-w" + Path("out.pcapng"), Path("ping.pcap")});
    EXPECT_EQ(std::tie(r.status, r.out, r.err), std::make_tuple(0, "", ""));
    EXPECT_EQ(ReadFile(Path("logs/ORN_2026_12_05_22_16_26.log")), kPingEntry);
    EXPECT_EQ(Run({Path("out.pcapng")}).out, kPingEntry);
}

// A FIFO or standard input is read once, also where the log file is named
// after its first datagram.
TEST_F(DecodeCommandTest, StreamsAreReadOnce) {
    WriteCapture(Path("two.pcap"), {{kPing.bytes, 1796508990}, kPing});
    const std::string capture = ReadFile(Path("two.pcap"));
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    // Should the FIFO be opened twice, its second reader gets an end, not a hang.
    std::signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> read{false};
    std::thread writer([&] {
        std::ofstream(Path("fifo"), std::ios::binary) << capture;
        for (int i = 0; i < 50 && !read; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (const int fd = ::open(Path("fifo").c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
    });
    Result r = Run({"-o", Path("fifo-logs"), Path("fifo")});
    read = true;
    writer.join();
    EXPECT_EQ(std::tie(r.status, r.err), std::make_tuple(0, ""));
    EXPECT_EQ(FilesIn(Path("fifo-logs")), std::vector<std::string>{"ORN_2026_12_05_22_16_30.log"});

    const int input = ::dup(0), file = ::open(Path("two.pcap").c_str(), O_RDONLY);
    ::dup2(file, 0);
    r = Run({"-o", Path("input-logs"), "-"});
    ::dup2(input, 0);
    ::close(input), ::close(file);
    EXPECT_EQ(std::tie(r.status, r.err), std::make_tuple(0, ""));
    EXPECT_EQ(ReadFile(Path("input-logs/ORN_2026_12_05_22_16_30.log")),
              ReadFile(Path("fifo-logs/ORN_2026_12_05_22_16_30.log")));
    EXPECT_EQ(ReadFile(Path("input-logs/ORN_2026_12_05_22_16_30.log")),
              "<Sat, 05 Dec 2026 22:16:30>" + kPingEntry.substr(27) + kPingEntry);
}

// Files read whole that give nothing say why; the status stays 0.
TEST_F(DecodeCommandTest, CapturesWithoutIpv4AreExplained) {
    WriteCapture(Path("empty.pcap"), {});
    WriteCapture(Path("ipv6.pcap"), {{Bytes{0x60, 0, 0, 0}}, {Bytes{0x60, 0, 0, 0}}});
    // A pcapng file whose second interface has another link type.
    const auto block = [](std::uint32_t type, std::string body) {
        body.resize((body.size() + 3) & ~std::size_t{3});
        const std::uint32_t length = static_cast<std::uint32_t>(body.size() + 12);
        std::string b(reinterpret_cast<const char*>(&type), 4);
        b.append(reinterpret_cast<const char*>(&length), 4).append(body);
        return b.append(reinterpret_cast<const char*>(&length), 4);
    };
    const auto epb = [](std::string frame) {
        const auto length = static_cast<std::uint32_t>(frame.size());
        return std::string(12, '\0') + std::string(reinterpret_cast<const char*>(&length), 4) +
               std::string(reinterpret_cast<const char*>(&length), 4) + frame;
    };
    const std::string raw(reinterpret_cast<const char*>(kPing.bytes.data()), kPing.bytes.size());
    WriteBytes(Path("mixed.pcapng"), block(0x0A0D0D0A, std::string("\x4d\x3c\x2b\x1a\x01\0\0\0", 8) + std::string(8, '\xff')) +
                                         block(1, std::string("\x01\0\0\0\xff\xff\0\0", 8)) +
                                         block(6, epb(std::string(12, '\x02') + "\x08" + std::string(1, '\0') + raw)) +
                                         block(1, std::string("\x65\0\0\0\xff\xff\0\0", 8)) + block(6, epb(raw)));
    Result r = Run({Path("empty.pcap"), Path("ipv6.pcap"), Path("mixed.pcapng")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "<Thu, 01 Jan 1970 00:00:00>" + kPingEntry.substr(27));
    EXPECT_EQ(r.err, "orn-decode: " + Path("empty.pcap") + ": no packets in this capture\n" + "orn-decode: " +
                         Path("ipv6.pcap") +
                         ": no IPv4 datagram in its 2 packets (other traffic such as IPv6 or ARP, or IPv4 in a "
                         "framing that is not read here)\n" +
                         "orn-decode: " + Path("mixed.pcapng") +
                         ": its interfaces have different link types (Ethernet, then Raw IP), which libpcap cannot "
                         "read past; split the file by interface (e.g. with tshark) to read the rest\n");
    EXPECT_EQ(Run({Path("ipv6.pcap"), Path("empty.pcap")}).status, 0);
}

// -w: the file appears whole or not at all, and leaves no temporary behind;
// those of writers that died a while ago are removed.
TEST_F(DecodeCommandTest, WrittenCapturesLeaveNoTemporaries) {
    WriteCapture(Path("in.pcap"), {kPing, kPing});
    const std::string stale = Path(".out.pcapng.orn-99999-0-1"), fresh = Path(".out.pcapng.orn-99999-1-1"),
                      other = Path(".other.pcapng.orn-99999-0-1");
    for (const std::string& name : {stale, fresh, other}) WriteBytes(name, "x");
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(90);
    std::filesystem::last_write_time(stale, old);
    std::filesystem::last_write_time(other, old);
    Result r = Run({"-w", Path("out.pcapng"), Path("in.pcap")});
    EXPECT_EQ(std::tie(r.status, r.out, r.err), std::make_tuple(0, "", ""));
    EXPECT_EQ(FilesIn(dir.path), (std::vector<std::string>{".other.pcapng.orn-99999-0-1", ".out.pcapng.orn-99999-1-1",
                                                           "in.pcap", "out.pcapng"}));
    EXPECT_EQ(Run({Path("out.pcapng")}).out, kPingEntry + kPingEntry);

    r = Run({"-w", Path("none/out.pcapng"), Path("in.pcap")});
    EXPECT_EQ(std::tie(r.status, r.err),
              std::make_tuple(1, "orn-decode: " + Path("none/out.pcapng") + ": cannot create a file there: No such file or directory\n"));
    // A FIFO (or a device) would be removed by the rename: refused, and kept.
    ::mkfifo(Path("fifo").c_str(), 0600);
    EXPECT_EQ(Run({"-w", Path("fifo"), Path("in.pcap")}).err,
              "orn-decode: " + Path("fifo") + ": not a regular file, which a save would replace\n");
    // A damaged input still gives what came before the damage, whole.
    std::ofstream(Path("cut.pcap"), std::ios::binary) << ReadFile(Path("in.pcap")).substr(0, 24 + 16 + 60 + 20);
    r = Run({"-w", Path("out.pcapng"), Path("cut.pcap")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Run({Path("out.pcapng")}).out, kPingEntry);
    EXPECT_EQ(FilesIn(dir.path).size(), 6u);
    EXPECT_TRUE(std::filesystem::is_fifo(Path("fifo")));
}

// Without /proc (a chroot, a bare container) an unnamed file could not be
// named at the end: the save writes a hidden temporary, which it renames.
TEST_F(DecodeCommandTest, SavesWithoutProcGoThroughANamedTemporary) {
    if (geteuid() != 0) GTEST_SKIP() << "a private mount namespace needs root";
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
            _exit(90);
        CReplacementFile file;
        bool placing = false;
        if (file.Open(Path("out.pcapng")) != 0 || file.Write("abc", 3) != 0) _exit(91);
        const std::vector<std::string> during = FilesIn(dir.path);
        const bool named = during.size() == 1 && during[0].starts_with(".out.pcapng.orn-");
        _exit(file.Commit(placing) != 0 ? 92 : named ? 0 : 93);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
    EXPECT_EQ(FilesIn(dir.path), std::vector<std::string>{"out.pcapng"});
    EXPECT_EQ(ReadFile(Path("out.pcapng")), "abc");
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

TEST_F(DecodeCommandTest, FiltersComeFromTheStoreWhichIsOnlyReadAndNamed) {
    const std::string store = Path("registry.reg");
    SetRegistryStorePath(store);
    CFilterSet set;
    set.srcAddrs = {inet_addr("10.1.2.3")}, set.srcPorts = {53};
    set.fullInfo = 1, set.messages = 0;
    SaveFilterSet(set);
    WriteCapture(Path("two.pcap"), {{Udp("10.1.2.3", "10.4.5.6", 53, 40000, "kept")},
                                    {Udp("10.9.9.9", "10.4.5.6", 53, 40000, "dropped")}});
    Result plain = Run({Path("two.pcap")});
    Result filtered = Run({"--filters", Path("two.pcap")});
    Result forced = Run({"--filters", "--messages", Path("two.pcap")});

    EXPECT_NE(plain.out.find("10.9.9.9"), std::string::npos);
    EXPECT_EQ(std::tie(filtered.status, filtered.err), std::make_tuple(0, "orn-decode: filter set read from " + store + "\n"));
    EXPECT_EQ(filtered.out.find("10.9.9.9"), std::string::npos);
    EXPECT_NE(filtered.out.find("\tIP Version: 4         \t"), std::string::npos);  // full info from the store
    EXPECT_EQ(filtered.out.find("IP MESSAGE"), std::string::npos);
    EXPECT_NE(forced.out.find("\r\nIP MESSAGE:\r\n"), std::string::npos);
    EXPECT_NE(forced.out.find("kept"), std::string::npos);

    // A user who may read the store but not write it filters all the same.
    if (::geteuid() == 0) {
        ::chmod(dir.path.c_str(), 0755);
        EXPECT_EQ(InChild([&] { return Run({"--filters", Path("two.pcap")}).out == filtered.out ? 0 : 1; }, 65534, 65534),
                  0);
    }

    // Without a readable set: the defaults, and a note why.
    std::filesystem::create_directory(Path("a directory"));
    WriteBytes(Path("huge.reg"), "");
    std::filesystem::resize_file(Path("huge.reg"), 65 << 20);
    const std::string defaults = "; the defaults apply (every datagram is accepted)\n";
    const struct {
        std::string store;
        int status;
        std::string err;
    } cases[] = {
        {Path("none/registry.reg"), 0, "orn-decode: no filter set stored in " + Path("none/registry.reg") + defaults},
        {Path("a directory"), 1, "orn-decode: " + Path("a directory") + ": cannot be read" + defaults},
        {Path("huge.reg"), 1, "orn-decode: " + Path("huge.reg") + ": damaged, no filter set could be read" + defaults},
    };
    for (const auto& c : cases) {
        SetRegistryStorePath(c.store);
        Result r = Run({"--filters", Path("two.pcap")});
        EXPECT_EQ(std::tie(r.status, r.err), std::tie(c.status, c.err));
        EXPECT_NE(r.out.find("10.9.9.9"), std::string::npos) << c.store;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("none"))) << "reading the store made its directory";
    SetRegistryStorePath("");
}

}  // namespace
