// Live capture inside namespaces made by the test: both directions seen, a
// prompt stop on a quiet link, and the interface choice.

#include "platform/capture/PcapSource.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <thread>

#include "tests/platform/net/NetnsLab.h"

namespace {

using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;
constexpr std::uint16_t kPort = 47000;
const std::string kA = "10.200.0.1", kB = "10.200.0.2";

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The UDP datagrams to kPort as "source>destination:payload", until `wanted`
// are seen or three seconds have passed.
Lines Collect(CLiveCaptureSource& capture, std::size_t wanted) {
    Lines seen;
    const auto start = Clock::now();
    CapturedDatagram d;
    while (seen.size() < wanted && MillisecondsSince(start) < 3000) {
        const ReceiveResult r = capture.Receive(d, 50);
        EXPECT_NE(r, ReceiveResult::Failed) << capture.ErrorText();
        const std::uint32_t header = (d.data[0] & 0x0f) * 4u;
        if (r != ReceiveResult::Datagram || d.length < header + 8 || d.data[9] != 17 ||
            ((d.data[header + 2] << 8) | d.data[header + 3]) != kPort)
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

// A capture started on the first interface of namespace a, linked to b.
class LiveCaptureSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_NAMESPACES();
        a = lab.AddMember("a", kA + "/24");
        b = lab.AddMember("b", kB + "/24");
        inside = std::make_unique<CEnterNamespace>(a);
        ASSERT_TRUE(inside->Ok());
        ASSERT_EQ(capture.Startup(), CaptureFailure::None);
        ASSERT_EQ(capture.FindInterface(), CaptureFailure::None) << capture.ErrorText();
        EXPECT_EQ(capture.Interface().name, "e0");
        EXPECT_EQ(capture.Interface().address, inet_addr(kA.c_str()));
        ASSERT_EQ(capture.Activate(), CaptureFailure::None) << capture.ErrorText();
    }
    CNetnsLab lab;
    std::string a, b;
    std::unique_ptr<CEnterNamespace> inside;
    CLiveCaptureSource capture;
};

TEST_F(LiveCaptureSourceTest, SeesDatagramsInBothDirections) {
    Lines incoming, outgoing, expected;
    for (int i = 0; i < 5; ++i) {
        incoming.push_back("in " + std::to_string(i));
        outgoing.push_back("out " + std::to_string(i) + std::string(300, '.'));
        expected.push_back(kB + ">" + kA + ":" + incoming.back());
        expected.push_back(kA + ">" + kB + ":" + outgoing.back());
    }
    ASSERT_TRUE(lab.SendUdp(b, kA, kPort, incoming));
    ASSERT_TRUE(lab.SendUdp(a, kB, kPort, outgoing));
    Lines seen = Collect(capture, expected.size());
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);

    capture.Stop();  // the kernel's counts are read as it stops, and kept
    const CaptureStatistics counters = capture.Statistics();
    EXPECT_GE(counters.datagrams, 10u);
    EXPECT_GE(counters.kernelReceived, counters.datagrams);
    CapturedDatagram d;
    EXPECT_EQ(capture.Receive(d, 0), ReceiveResult::Failed);
}

TEST_F(LiveCaptureSourceTest, OnAQuietLinkStopsPromptlyAndStillDeliversALoneDatagram) {
    double worst = 0;
    for (int round = 0; round < 3; ++round) {
        std::atomic<bool> listening{true};
        std::thread run([&] {
            CapturedDatagram d;
            while (listening) EXPECT_NE(capture.Receive(d, 50), ReceiveResult::Failed);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(120 + 37 * round));
        const auto stopped = Clock::now();
        listening = false;
        run.join();
        worst = std::max(worst, MillisecondsSince(stopped));
    }
    std::printf("stop latency on a quiet link: worst %.1f ms of 3\n", worst);
    EXPECT_LT(worst, 500.0);

    // Handed over within the delivery delay, not held until a kernel block fills.
    const auto sent = Clock::now();
    ASSERT_TRUE(lab.SendUdp(b, kA, kPort, {"lone"}));
    EXPECT_EQ(Collect(capture, 1), Lines{kB + ">" + kA + ":lone"});
    std::printf("delivery of a lone datagram: %.1f ms\n", MillisecondsSince(sent));
    EXPECT_LT(MillisecondsSince(sent), 500.0);
}

TEST(LiveCaptureInterface, TheFirstUpAndNotLoopbackInTheSystemsOrder) {
    SKIP_WITHOUT_NAMESPACES();
    CNetnsLab lab;
    const std::string ns = lab.AddNamespace("order");
    CEnterNamespace inside(ns);
    ASSERT_TRUE(inside.Ok());
    CLiveCaptureSource capture;
    ASSERT_EQ(capture.Startup(), CaptureFailure::None);
    EXPECT_EQ(capture.FindInterface(), CaptureFailure::NoInterface);  // loopback alone
    EXPECT_EQ(capture.Activate(), CaptureFailure::Initialization);

    // Addresses made out of order: the list goes by interface.
    lab.Run(ns, {"sh", "-c",
                 "ip link add x0 index 10 type veth peer name x1 index 11 && "
                 "ip link add x2 index 12 type veth peer name x3 index 13 && ip addr add 10.201.3.1/24 dev x3 && "
                 "ip addr add 10.201.1.1/24 dev x1 label x1:7 && ip addr add 10.201.0.1/24 dev x0 && "
                 "ip link set x1 up && ip link set x3 up"});
    CaptureInterface found;
    ASSERT_TRUE(FindCaptureInterface(found));
    EXPECT_EQ(found.name, "x1");  // x0 is down; a label names the address, not the device
    EXPECT_EQ(found.address, inet_addr("10.201.1.1"));
    lab.Run(ns, {"ip", "link", "set", "x0", "up"});
    ASSERT_TRUE(FindCaptureInterface(found));
    EXPECT_EQ(found.name, "x0");
}

}  // namespace
