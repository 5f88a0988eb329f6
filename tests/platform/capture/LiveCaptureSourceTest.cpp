// Live capture inside namespaces made by the test: both directions seen,
// the interface choice, a prompt stop on a quiet link, and the failure
// kinds without an interface or without the right to capture.

#include "platform/capture/PcapSource.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/platform/capture/TestNetwork.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kPort = 47000;

int ProbeStart() {
    CLiveCaptureSource source;
    CaptureFailure failure = source.Startup();
    if (failure == CaptureFailure::None) failure = source.FindInterface();
    if (failure == CaptureFailure::None) failure = source.Activate();
    std::printf("%s\n", source.ErrorText().c_str());
    return static_cast<int>(failure);
}

struct Seen {
    std::string payload;
    std::uint32_t source = 0, destination = 0;
    std::uint32_t length = 0;
};

// The UDP payloads of the captured datagrams to kPort, until `wanted` are
// seen or the time is up.
std::vector<Seen> Collect(CLiveCaptureSource& capture, std::size_t wanted, int milliseconds) {
    std::vector<Seen> seen;
    auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    CapturedDatagram d;
    while (seen.size() < wanted && Clock::now() < end) {
        ReceiveResult r = capture.Receive(d, 50);
        if (r == ReceiveResult::Failed) {
            ADD_FAILURE() << capture.ErrorText();
            break;
        }
        if (r != ReceiveResult::Datagram) continue;
        EXPECT_EQ(d.data[0] >> 4, 4);
        std::uint32_t headerLength = (d.data[0] & 0x0f) * 4u;
        if (d.length < headerLength + 8 || d.data[9] != 17) continue;
        const std::uint8_t* udp = d.data + headerLength;
        if (((udp[2] << 8) | udp[3]) != kPort) continue;
        Seen s;
        std::memcpy(&s.source, d.data + 12, 4);
        std::memcpy(&s.destination, d.data + 16, 4);
        s.payload.assign(reinterpret_cast<const char*>(udp + 8), d.length - headerLength - 8);
        s.length = d.length;
        seen.push_back(s);
        EXPECT_GT(d.seconds, 1700000000);
    }
    return seen;
}

class LiveCaptureSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
    }
};

TEST_F(LiveCaptureSourceTest, SeesDatagramsInBothDirections) {
    CTestLink link;
    ASSERT_TRUE(link.Ok());
    CEnterNamespace inside(link.a.Name());
    ASSERT_TRUE(inside.Ok());

    CLiveCaptureSource capture;
    ASSERT_EQ(capture.Startup(), CaptureFailure::None);
    ASSERT_EQ(capture.FindInterface(), CaptureFailure::None) << capture.ErrorText();
    EXPECT_EQ(capture.Interface().name, "va");
    EXPECT_EQ(capture.Interface().address, link.addressAValue);
    ASSERT_EQ(capture.Activate(), CaptureFailure::None) << capture.ErrorText();

    std::vector<std::string> incoming, outgoing;
    for (int i = 0; i < 5; ++i) {
        incoming.push_back("from b " + std::to_string(i));
        outgoing.push_back("from a " + std::to_string(i) + std::string(300, '.'));
    }
    ASSERT_TRUE(SendUdpFrom(link.b.Name(), link.addressA, kPort, incoming));
    ASSERT_TRUE(SendUdpFrom(link.a.Name(), link.addressB, kPort, outgoing));

    std::vector<Seen> seen = Collect(capture, 10, 3000);
    std::vector<std::string> got;
    for (const Seen& s : seen) {
        got.push_back(s.payload);
        bool fromB = s.payload.rfind("from b", 0) == 0;
        EXPECT_EQ(s.source, fromB ? link.addressBValue : link.addressAValue) << s.payload;
        EXPECT_EQ(s.destination, fromB ? link.addressAValue : link.addressBValue) << s.payload;
        EXPECT_EQ(s.length, 28 + s.payload.size()) << "link-layer bytes or padding delivered";
    }
    std::vector<std::string> expected = incoming;
    expected.insert(expected.end(), outgoing.begin(), outgoing.end());
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);

    CaptureStatistics counters = capture.Statistics();
    EXPECT_GE(counters.datagrams, 10u);
    EXPECT_GE(counters.kernelReceived, counters.datagrams);
    capture.Stop();
    CapturedDatagram d;
    EXPECT_EQ(capture.Receive(d, 0), ReceiveResult::Failed);
    EXPECT_EQ(capture.Statistics().kernelReceived, counters.kernelReceived);
}

TEST_F(LiveCaptureSourceTest, AReceiveOnAQuietLinkEndsSoonAfterTheRunFlagDrops) {
    CTestLink link;
    ASSERT_TRUE(link.Ok());
    CEnterNamespace inside(link.a.Name());
    ASSERT_TRUE(inside.Ok());
    CLiveCaptureSource capture;
    ASSERT_EQ(capture.Startup(), CaptureFailure::None);
    ASSERT_EQ(capture.FindInterface(), CaptureFailure::None);
    ASSERT_EQ(capture.Activate(), CaptureFailure::None) << capture.ErrorText();

    double worst = 0;
    for (int round = 0; round < 5; ++round) {
        std::atomic<int> listening{1};
        std::atomic<bool> failed{false};
        std::thread run([&] {
            CapturedDatagram d;
            while (listening) {
                if (capture.Receive(d, 50) == ReceiveResult::Failed) failed = true;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(120 + 37 * round));
        auto stopped = Clock::now();
        listening = 0;
        run.join();
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - stopped).count();
        worst = std::max(worst, ms);
        EXPECT_FALSE(failed);
    }
    std::printf("stop latency on a quiet link: worst %.1f ms of 5\n", worst);
    EXPECT_LT(worst, 500.0);

    // A lone datagram on the quiet link is handed over within the delivery
    // delay, not held until more traffic fills the kernel's block.
    auto sent = Clock::now();
    ASSERT_TRUE(SendUdpFrom(link.b.Name(), link.addressA, kPort, {"lone"}));
    std::vector<Seen> seen = Collect(capture, 1, 3000);
    double delay = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].payload, "lone");
    std::printf("delivery of a lone datagram: %.1f ms\n", delay);
    EXPECT_LT(delay, 500.0);
}

TEST_F(LiveCaptureSourceTest, ChoosesTheFirstInterfaceThatIsUpAndNotLoopback) {
    CTestNamespace ns("order");
    ASSERT_TRUE(ns.Ok());
    const std::string ip = "ip -n " + ns.Name() + " ";
    ASSERT_TRUE(RunQuietly(ip + "link add x0 index 10 type veth peer name x1 index 11"));
    ASSERT_TRUE(RunQuietly(ip + "link add x2 index 12 type veth peer name x3 index 13"));
    // Addresses made out of order: the system's list goes by interface.
    ASSERT_TRUE(RunQuietly(ip + "addr add 10.201.3.1/24 dev x3"));
    ASSERT_TRUE(RunQuietly(ip + "addr add 10.201.1.1/24 dev x1 label x1:7"));
    ASSERT_TRUE(RunQuietly(ip + "addr add 10.201.0.1/24 dev x0"));
    ASSERT_TRUE(RunQuietly(ip + "link set x1 up"));
    ASSERT_TRUE(RunQuietly(ip + "link set x3 up"));
    CEnterNamespace inside(ns.Name());
    ASSERT_TRUE(inside.Ok());

    CaptureInterface found;
    ASSERT_TRUE(FindCaptureInterface(found));
    EXPECT_EQ(found.name, "x1");  // x0 is down; the label names the address, not the device
    EXPECT_EQ(found.address, inet_addr("10.201.1.1"));

    ASSERT_TRUE(RunQuietly(ip + "link set x0 up"));
    ASSERT_TRUE(FindCaptureInterface(found));
    EXPECT_EQ(found.name, "x0");
}

TEST_F(LiveCaptureSourceTest, OnlyLoopbackMeansNoInterface) {
    CTestNamespace ns("lo");
    ASSERT_TRUE(ns.Ok());
    CEnterNamespace inside(ns.Name());
    ASSERT_TRUE(inside.Ok());
    CLiveCaptureSource capture;
    ASSERT_EQ(capture.Startup(), CaptureFailure::None);
    EXPECT_EQ(capture.FindInterface(), CaptureFailure::NoInterface);
    EXPECT_STREQ(CaptureFailureMessage(CaptureFailure::NoInterface), "Can not found network interface!!!");
    EXPECT_EQ(capture.Activate(), CaptureFailure::Initialization);
}

// The start is tried by this same program as an unprivileged user inside
// the namespace, so only the missing capability differs.
TEST_F(LiveCaptureSourceTest, WithoutCapNetRawTheStartIsRefusedForPermission) {
    CTestLink link;
    ASSERT_TRUE(link.Ok());
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    // A copy that the unprivileged user can surely reach and run.
    char dir[] = "/tmp/orn-probe.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    chmod(dir, 0755);
    std::string probe = std::string(dir) + "/probe";
    ASSERT_TRUE(RunQuietly("cp '" + std::string(self) + "' '" + probe + "' && chmod 755 '" + probe + "'"));

    std::string command = "ip netns exec " + link.a.Name() +
                          " setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all '" + probe +
                          "' --probe-start 2>&1";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[512] = {};
    std::string text;
    while (std::fgets(line, sizeof line, out)) text += line;
    int status = pclose(out);
    RunQuietly("rm -rf '" + std::string(dir) + "'");
    ASSERT_TRUE(WIFEXITED(status)) << text;
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(CaptureFailure::Permission)) << text;
    EXPECT_STREQ(CaptureFailureMessage(CaptureFailure::Permission),
                 "Can not set network card parameters properly\n"
                 "Check if current user account has administrative priviledges");

    // The same start as root succeeds, so the refusal was the permission alone.
    std::string asRoot = "ip netns exec " + link.a.Name() + " '" + std::string(self) + "' --probe-start";
    EXPECT_EQ(std::system((asRoot + " >/dev/null 2>&1").c_str()), 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--probe-start") == 0) return ProbeStart();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
