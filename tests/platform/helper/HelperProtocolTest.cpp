// The capture helper's protocol: what either side accepts, and the real
// helper against a caller that breaks it. The helper holds a capability, so
// anything but an exact, well-formed request must be refused whole.

#include "platform/helper/HelperProtocol.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/helper/HelperProcess.h"
#include "tests/platform/net/NetnsLab.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Request(std::uint8_t kind, const std::string& name, std::uint8_t version = 1) {
    Bytes b = {'O', 'R', 'N', 'q', version, kind, static_cast<std::uint8_t>(name.size())};
    for (const char c : name) b.push_back(static_cast<std::uint8_t>(c));
    return b;
}

// An echo sweep of count addresses from first ("a.b.c.d"), waitMs apart.
Bytes Sweep(const std::string& name, const char* first, unsigned count, unsigned waitMs = 10) {
    Bytes b = Request(4, name);
    const std::uint32_t address = inet_addr(first);
    const auto* a = reinterpret_cast<const std::uint8_t*>(&address);
    b.insert(b.end(), {a[0], a[1], a[2], a[3], static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
                       static_cast<std::uint8_t>(waitMs), static_cast<std::uint8_t>(waitMs >> 8)});
    return b;
}

TEST(HelperProtocol, RequestsAreTakenOnlyWhenExactlyWellFormed) {
    struct Case {
        const char* what;
        Bytes bytes;
        bool accepted;
    };
    Bytes trailing = Request(1, "e0");
    trailing.push_back(0);
    Bytes shortName = Request(1, "e0");
    shortName[6] = 3;  // claims one byte more than there is
    Bytes cutSweep = Sweep("e0", "10.1.2.3", 3);
    cutSweep.pop_back();
    const Case cases[] = {
        {"capture, first interface", Request(1, ""), true},
        {"capture, named", Request(1, "enp0s31f6.100"), true},
        {"echo sweep", Sweep("e0", "10.1.2.1", 254, 1000), true},
        {"echo sweep of an address's label", Sweep("e0:1", "10.1.2.1", 1), true},
        {"the raw socket's hand-over, retired", Request(2, ""), false},
        {"echo sweep of nothing", Sweep("e0", "10.1.2.1", 0), false},
        {"echo sweep wider than a /24's hosts", Sweep("e0", "10.1.2.1", 255), false},
        {"echo sweep without an interface", Sweep("", "10.1.2.1", 1), false},
        {"echo sweep at 200 a second", Sweep("e0", "10.1.2.1", 1, 5), false},
        {"echo sweep waiting a second and more", Sweep("e0", "10.1.2.1", 1, 1001), false},
        {"echo sweep cut short", cutSweep, false},
        {"stop", Request(3, ""), true},
        {"empty", {}, false},
        {"magic alone", {'O', 'R', 'N', 'q'}, false},
        {"cut before the name length", {'O', 'R', 'N', 'q', 1, 1}, false},
        {"wrong magic", {'O', 'R', 'N', 'r', 1, 1, 0}, false},
        {"unknown version", Request(1, "", 2), false},
        {"unknown kind", Request(9, ""), false},
        {"kind zero", Request(0, ""), false},
        {"trailing byte", trailing, false},
        {"name longer than sent", shortName, false},
        {"name of 16 bytes", Request(1, "abcdefghijklmnop"), false},
        {"path in the name", Request(1, "../../etc"), false},
        {"slash", Request(1, "a/b"), false},
        {"alias label", Request(1, "eth0:1"), false},
        {"blank", Request(1, "e 0"), false},
        {"control byte", Request(1, std::string("e\n0")), false},
        {"zero byte", Request(1, std::string("e\0", 2)), false},
        {"high byte", Request(1, "e\xff"), false},
        {"dot", Request(1, "."), false},
        {"dot dot", Request(1, ".."), false},
        {"stop with a name", Request(3, "e0"), false},
        {"garbage", Bytes(64, 0xA5), false},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseRequest(c.bytes);
        EXPECT_EQ(parsed.has_value(), c.accepted) << c.what;
        if (parsed && c.accepted) {
            EXPECT_EQ(EncodeRequest(*parsed), c.bytes) << c.what;
        }
    }
}

TEST(HelperProtocol, ReportsRoundTripAndBrokenOnesAreRefused) {
    HelperReport started(HelperReportKind::Started);
    started.interfaceName = "e0";
    started.address = 0x0100000A;
    HelperReport failed(HelperReportKind::Failed);
    failed.failure = CaptureFailure::Permission;
    failed.text = "e0: You don't have permission to perform this capture on that device";
    HelperReport counters(HelperReportKind::Statistics);
    counters.kernelReceived = 1ull << 40;
    counters.kernelDropped = 7;
    counters.interfaceDropped = 3;
    HelperReport echo(HelperReportKind::EchoResult);
    echo.address = 0x2207D50A;
    echo.sent = 12;
    echo.answered = true;
    for (const HelperReport& r : {started, failed, counters, echo}) {
        const Bytes bytes = EncodeReport(r);
        const auto parsed = ParseReport(bytes);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(EncodeReport(*parsed), bytes);
        for (std::size_t cut = 0; cut < bytes.size(); ++cut)
            EXPECT_FALSE(ParseReport(std::span(bytes).first(cut))) << "cut at " << cut;
    }
    Bytes noFailure = EncodeReport(failed);
    noFailure[6] = 0;  // CaptureFailure::None is no failure
    EXPECT_FALSE(ParseReport(noFailure));
    Bytes answeredUnsent = EncodeReport(echo);
    answeredUnsent[10] = answeredUnsent[11] = 0;
    EXPECT_FALSE(ParseReport(answeredUnsent));
    EXPECT_FALSE(ParseReport(EncodeRequest(HelperRequest())));
}

// The real helper, started as the program starts it, fed what a hostile
// caller might send. It must end without opening anything.
class HostileCaller : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(helper.Start(ORN_CAPTURE_HELPER), 0); }
    CHelperProcess::Received Answer(HelperReport& report) { return helper.Receive(report, 3000); }
    CHelperProcess helper;
};

TEST_F(HostileCaller, ACaptureNeedsItsPipeAndAQualifyingInterface) {
    HelperReport report;
    ASSERT_TRUE(helper.Send(HelperRequest(HelperRequestKind::Capture)));
    ASSERT_EQ(Answer(report), CHelperProcess::Received::Report);
    EXPECT_EQ(report.kind, HelperReportKind::Failed);
    EXPECT_EQ(report.failure, CaptureFailure::Initialization);
    EXPECT_EQ(report.text, "no data pipe");

    // The data descriptor must be a pipe's write end, and no other file.
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    for (const int data : {fds[0], fds[1]}) {
        ASSERT_EQ(helper.Start(ORN_CAPTURE_HELPER, data), 0);
        // Names the helper must refuse although they are well formed:
        // the loopback, and one that is not there.
        ASSERT_TRUE(helper.Send(HelperRequest(HelperRequestKind::Capture, data == fds[0] ? "e0" : "lo")));
        ASSERT_EQ(Answer(report), CHelperProcess::Received::Report);
        EXPECT_EQ(report.failure, data == fds[0] ? CaptureFailure::Initialization : CaptureFailure::NoInterface)
            << report.text;
    }
    close(fds[0]);
    close(fds[1]);
}

// A report that comes with a descriptor breaks the protocol, and the
// descriptor never reaches this process.
TEST(HelperProtocol, TheProgramTakesNoDescriptorFromTheHelper) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    const Bytes bytes = EncodeReport(HelperReport(HelperReportKind::Statistics));
    iovec part{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    *c = cmsghdr{CMSG_LEN(sizeof(int)), SOL_SOCKET, SCM_RIGHTS};
    std::memcpy(CMSG_DATA(c), &pair[1], sizeof(int));
    for (const bool withDescriptor : {false, true}) {
        message.msg_controllen = withDescriptor ? sizeof control : 0;
        ASSERT_EQ(sendmsg(pair[1], &message, 0), static_cast<ssize_t>(bytes.size()));
        const auto open = std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
        HelperReport report;
        EXPECT_EQ(ReceiveHelperReport(pair[0], report, 1000),
                  withDescriptor ? CHelperProcess::Received::Closed : CHelperProcess::Received::Report);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}), open);
    }
    close(pair[0]);
    close(pair[1]);
}

// The helper's echo service in a namespace the test builds: e0 on
// 10.213.9.32/28 with a host at .34, d0 up on another network, d1 down, w0 a
// /16. Whatever it refuses, it refuses before sending anything.
class EchoService : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_NAMESPACES();
        scanner = lab.AddMember("scan", "10.213.9.37/28");
        lab.AddMember("34", "10.213.9.34/28");
        lab.Run(scanner, {"sh", "-c",
                          "for i in d0 d1 w0; do ip link add $i type veth peer name x$i || exit 1; done && "
                          "ip addr add 10.213.10.1/24 dev d0 && ip addr add 10.213.11.1/24 dev d1 && "
                          "ip addr add 10.216.0.1/16 dev w0 && ip link set d0 up && ip link set w0 up"});
    }

    // The reports of the real helper given request, until it hangs up, and
    // the echo requests the namespace sent meanwhile.
    std::vector<HelperReport> Serve(const Bytes& request, long& echoes) {
        std::vector<HelperReport> reports;
        CEnterNamespace inside(scanner);
        EXPECT_TRUE(inside.Ok());
        const long before = SentEchoes();
        CHelperProcess helper;
        EXPECT_EQ(helper.Start(ORN_CAPTURE_HELPER), 0);
        send(helper.ControlFd(), request.data(), request.size(), MSG_NOSIGNAL);
        for (HelperReport report; helper.Receive(report, 3000) == CHelperProcess::Received::Report;)
            reports.push_back(report);
        helper.End(1000);
        echoes = SentEchoes() - before;
        return reports;
    }

    // The calling thread's namespace's count of echo requests sent.
    static long SentEchoes() {
        std::ifstream snmp("/proc/thread-self/net/snmp");
        std::string names, values;
        while (std::getline(snmp, names) && names.rfind("Icmp: ", 0) != 0) {
        }
        std::getline(snmp, values);
        std::istringstream n(names), v(values);
        for (std::string name, value; n >> name && v >> value;)
            if (name == "OutEchos") return std::stol(value);
        return -1;
    }

    CNetnsLab lab;
    std::string scanner;
};

TEST_F(EchoService, RefusesHostileRequestsBeforeSendingAnything) {
    Bytes oversized = Sweep("e0", "10.213.9.33", 1);
    oversized.resize(oversized.size() + 56, 0xA5);  // as if it carried its own payload
    const std::pair<const char*, Bytes> malformed[] = {
        {"too long for a message", Bytes(5000, 'x')},
        {"payload behind the sweep", oversized},
        {"path for a name", Request(1, "../x")},
        {"unknown kind", Request(7, "")},
        {"magic alone", {'O', 'R', 'N', 'q'}},
        {"the retired socket hand-over", Request(2, "")},
        {"too many addresses", Sweep("e0", "10.213.9.33", 255)},
        {"no wait", Sweep("e0", "10.213.9.33", 14, 0)},
        {"an absurd wait", Sweep("e0", "10.213.9.33", 14, 65535)},
    };
    const std::pair<const char*, Bytes> offTheNetwork[] = {
        {"off the network", Sweep("e0", "10.213.9.17", 1)},
        {"the network's own address", Sweep("e0", "10.213.9.32", 2)},
        {"up to the broadcast address", Sweep("e0", "10.213.9.33", 15)},
        {"beyond the top of the address space", Sweep("e0", "255.255.255.254", 2)},
        {"another interface's network", Sweep("e0", "10.213.10.5", 1)},
        {"an interface that is down", Sweep("d1", "10.213.11.5", 1)},
        {"a /16", Sweep("w0", "10.216.0.5", 1)},
        {"the loopback", Sweep("lo", "127.0.0.2", 1)},
        {"no such interface", Sweep("e9", "10.213.9.33", 1)},
    };
    long echoes = -1;
    for (const auto& [what, request] : malformed) {
        EXPECT_EQ(Serve(request, echoes).size(), 0u) << what;
        EXPECT_EQ(echoes, 0) << what;
    }
    for (const auto& [what, request] : offTheNetwork) {
        const std::vector<HelperReport> reports = Serve(request, echoes);
        ASSERT_EQ(reports.size(), 1u) << what;
        EXPECT_EQ(reports[0].kind, HelperReportKind::Failed) << what;
        EXPECT_EQ(reports[0].failure, CaptureFailure::NoInterface) << what << ": " << reports[0].text;
        EXPECT_EQ(echoes, 0) << what;
    }
}

TEST_F(EchoService, SweepsTheHostsOfTheNetworkInOrderAtItsPace) {
    long echoes = -1;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<HelperReport> reports = Serve(Sweep("e0", "10.213.9.33", 14, 20), echoes);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(14 * 20));
    EXPECT_EQ(echoes, 14);
    ASSERT_EQ(reports.size(), 14u);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const std::string address = "10.213.9." + std::to_string(33 + i);
        EXPECT_EQ(reports[i].kind, HelperReportKind::EchoResult);
        EXPECT_EQ(reports[i].address, inet_addr(address.c_str()));
        EXPECT_EQ(reports[i].sent, 12);
        EXPECT_EQ(reports[i].answered, address == "10.213.9.34" || address == "10.213.9.37") << address;
    }
}

}  // namespace
