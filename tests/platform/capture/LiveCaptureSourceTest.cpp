// Live capture inside namespaces made by the test: both directions seen,
// the interface choice, a prompt stop on a quiet link, and the failure
// kinds without an interface or without the right to capture.

#include "platform/capture/PcapSource.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/platform/capture/TestNetwork.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kPort = 47000;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The payloads of UDP datagrams to kPort, "source>destination:payload",
// until `wanted` are seen or three seconds have passed.
std::vector<std::string> Collect(CLiveCaptureSource& capture, std::size_t wanted) {
    std::vector<std::string> seen;
    auto start = Clock::now();
    CapturedDatagram d;
    while (seen.size() < wanted && MillisecondsSince(start) < 3000) {
        ReceiveResult r = capture.Receive(d, 50);
        EXPECT_NE(r, ReceiveResult::Failed) << capture.ErrorText();
        if (r != ReceiveResult::Datagram) continue;
        std::uint32_t header = (d.data[0] & 0x0f) * 4u;
        if (d.length < header + 8 || d.data[9] != 17 || ((d.data[header + 2] << 8) | d.data[header + 3]) != kPort)
            continue;
        char from[16], to[16];
        inet_ntop(AF_INET, d.data + 12, from, sizeof from);
        inet_ntop(AF_INET, d.data + 16, to, sizeof to);
        // The length must be the datagram's own: no link header, no padding.
        seen.push_back(std::string(from) + ">" + to + ":" +
                       std::string(reinterpret_cast<const char*>(d.data + header + 8), d.length - header - 8));
        EXPECT_GT(d.seconds, 1700000000);
    }
    return seen;
}

class LiveCaptureSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
        ASSERT_TRUE(link.Ok());
    }
    // Starts a capture on the first interface of namespace a.
    void Start(CLiveCaptureSource& capture) {
        ASSERT_EQ(capture.Startup(), CaptureFailure::None);
        ASSERT_EQ(capture.FindInterface(), CaptureFailure::None) << capture.ErrorText();
        EXPECT_EQ(capture.Interface().name, "va");
        EXPECT_EQ(capture.Interface().address, link.addressAValue);
        ASSERT_EQ(capture.Activate(), CaptureFailure::None) << capture.ErrorText();
    }
    CTestLink link;
};

TEST_F(LiveCaptureSourceTest, SeesDatagramsInBothDirections) {
    CEnterNamespace inside(link.a.Name());
    ASSERT_TRUE(inside.Ok());
    CLiveCaptureSource capture;
    Start(capture);
    std::vector<std::string> incoming, outgoing, expected;
    for (int i = 0; i < 5; ++i) {
        incoming.push_back("in " + std::to_string(i));
        outgoing.push_back("out " + std::to_string(i) + std::string(300, '.'));
        expected.push_back(link.addressB + ">" + link.addressA + ":" + incoming.back());
        expected.push_back(link.addressA + ">" + link.addressB + ":" + outgoing.back());
    }
    ASSERT_TRUE(SendUdpFrom(link.b.Name(), link.addressA, kPort, incoming));
    ASSERT_TRUE(SendUdpFrom(link.a.Name(), link.addressB, kPort, outgoing));
    std::vector<std::string> seen = Collect(capture, expected.size());
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);

    CaptureStatistics counters = capture.Statistics();
    EXPECT_GE(counters.datagrams, 10u);
    EXPECT_GE(counters.kernelReceived, counters.datagrams);
    capture.Stop();
    EXPECT_EQ(capture.Statistics().kernelReceived, counters.kernelReceived);  // kept after the stop
    CapturedDatagram d;
    EXPECT_EQ(capture.Receive(d, 0), ReceiveResult::Failed);
}

TEST_F(LiveCaptureSourceTest, OnAQuietLinkStopsPromptlyAndStillDeliversALoneDatagram) {
    CEnterNamespace inside(link.a.Name());
    ASSERT_TRUE(inside.Ok());
    CLiveCaptureSource capture;
    Start(capture);
    double worst = 0;
    for (int round = 0; round < 5; ++round) {
        std::atomic<int> listening{1};
        std::thread run([&] {
            CapturedDatagram d;
            while (listening) EXPECT_NE(capture.Receive(d, 50), ReceiveResult::Failed);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(120 + 37 * round));
        auto stopped = Clock::now();
        listening = 0;
        run.join();
        worst = std::max(worst, MillisecondsSince(stopped));
    }
    std::printf("stop latency on a quiet link: worst %.1f ms of 5\n", worst);
    EXPECT_LT(worst, 500.0);

    // Handed over within the delivery delay, not held until a kernel block fills.
    auto sent = Clock::now();
    ASSERT_TRUE(SendUdpFrom(link.b.Name(), link.addressA, kPort, {"lone"}));
    EXPECT_EQ(Collect(capture, 1), std::vector<std::string>{link.addressB + ">" + link.addressA + ":lone"});
    std::printf("delivery of a lone datagram: %.1f ms\n", MillisecondsSince(sent));
    EXPECT_LT(MillisecondsSince(sent), 500.0);
}

TEST_F(LiveCaptureSourceTest, TheInterfaceIsTheFirstUpAndNotLoopbackInTheSystemsOrder) {
    CTestNamespace ns("order");
    ASSERT_TRUE(ns.Ok());
    const std::string ip = "ip -n " + ns.Name() + " ";
    CEnterNamespace inside(ns.Name());
    ASSERT_TRUE(inside.Ok());
    CLiveCaptureSource capture;
    ASSERT_EQ(capture.Startup(), CaptureFailure::None);
    EXPECT_EQ(capture.FindInterface(), CaptureFailure::NoInterface);  // loopback alone
    EXPECT_EQ(capture.Activate(), CaptureFailure::Initialization);

    // Addresses made out of order: the list goes by interface.
    for (const char* step : {"link add x0 index 10 type veth peer name x1 index 11",
                             "link add x2 index 12 type veth peer name x3 index 13", "addr add 10.201.3.1/24 dev x3",
                             "addr add 10.201.1.1/24 dev x1 label x1:7", "addr add 10.201.0.1/24 dev x0",
                             "link set x1 up", "link set x3 up"})
        ASSERT_TRUE(RunQuietly(ip + step)) << step;
    CaptureInterface found;
    ASSERT_TRUE(FindCaptureInterface(found));
    EXPECT_EQ(found.name, "x1");  // x0 is down; a label names the address, not the device
    EXPECT_EQ(found.address, inet_addr("10.201.1.1"));
    ASSERT_TRUE(RunQuietly(ip + "link set x0 up"));
    ASSERT_TRUE(FindCaptureInterface(found));
    EXPECT_EQ(found.name, "x0");
}

int ProbeStart() {
    CLiveCaptureSource source;
    CaptureFailure failure = source.Startup();
    if (failure == CaptureFailure::None) failure = source.FindInterface();
    if (failure == CaptureFailure::None) failure = source.Activate();
    std::printf("%s\n", source.ErrorText().c_str());
    return static_cast<int>(failure);
}

// This same program tries the start as an unprivileged user inside the
// namespace, then as root: only the capability differs.
TEST_F(LiveCaptureSourceTest, WithoutCapNetRawTheStartFailsForPermission) {
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    char dir[] = "/tmp/orn-probe.XXXXXX";  // a copy the unprivileged user can surely run
    ASSERT_NE(mkdtemp(dir), nullptr);
    chmod(dir, 0755);
    const std::string probe = std::string(dir) + "/probe";
    ASSERT_TRUE(RunQuietly("cp '" + std::string(self) + "' '" + probe + "' && chmod 755 '" + probe + "'"));
    const std::string inNamespace = "ip netns exec " + link.a.Name() + " ";
    int refused = std::system((inNamespace + "setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all '" +
                               probe + "' --probe-start >/dev/null 2>&1").c_str());
    int allowed = std::system((inNamespace + "'" + probe + "' --probe-start >/dev/null 2>&1").c_str());
    RunQuietly("rm -rf '" + std::string(dir) + "'");
    ASSERT_TRUE(WIFEXITED(refused));
    EXPECT_EQ(WEXITSTATUS(refused), static_cast<int>(CaptureFailure::Permission));
    EXPECT_EQ(allowed, 0);
    EXPECT_STREQ(CaptureFailureMessage(CaptureFailure::Permission),
                 "Can not set network card parameters properly\n"
                 "Check if current user account has administrative priviledges");
    EXPECT_STREQ(CaptureFailureMessage(CaptureFailure::NoInterface), "Can not found network interface!!!");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--probe-start") == 0) return ProbeStart();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
