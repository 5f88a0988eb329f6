// The capture run on a live interface, inside namespaces made by the test:
// traffic of both directions filtered, stored and logged, a stop on a quiet
// link, and the start failures without an interface or without the
// right to capture.

#include "capture/CaptureRun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "tests/capture/CaptureTestSupport.h"
#include "tests/platform/net/NetnsLab.h"

namespace {

using Events = std::vector<std::string>;
constexpr std::uint16_t kPort = 47100;
const std::string kA = "10.200.0.1", kB = "10.200.0.2";

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class LiveCaptureRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT_NAMESPACES();
        log.SetDirectory(logDir.path);
    }
    std::string LogText() {
        const Events files = FilesIn(logDir.path);
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? "" : ReadFile(logDir.path + "/" + files[0]);
    }
    CNetnsLab lab;
    CTempDir logDir;
    CPacketStore store;
    CCaptureLog log;
    CFilterSetHolder filters;
    CRecorder window;
};

TEST_F(LiveCaptureRunTest, SeesBothDirectionsKeepsWhatTheFiltersAcceptAndStopsOnAQuietLink) {
    const std::string a = lab.AddMember("a", kA + "/24"), b = lab.AddMember("b", kB + "/24");
    CFilterSet set;
    set.srcAddrs = {inet_addr(kB.c_str())};  // everything with ports from b
    set.srcPorts = {0};
    set.destAddrs = {inet_addr(kB.c_str())};  // and what a sends to b's port
    set.destPorts = {kPort};
    filters.Publish(set);
    CEnterNamespace inside(a);
    ASSERT_TRUE(inside.Ok());
    CCaptureRun run(store, log, filters, &window);
    ASSERT_EQ(run.StartCaptureRun(), 0);
    // Until the capture is up: probes that the filters reject but the source counts.
    for (int i = 0; i < 60 && run.Statistics().datagrams == 0; ++i) {
        lab.SendUdp(a, kB, kPort + 2, {"probe"});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_GT(run.Statistics().datagrams, 0u) << run.ErrorText();

    // Nobody listens on either side, so each UDP datagram also draws an ICMP
    // error back: port-less, and rejected.
    ASSERT_TRUE(lab.SendUdp(b, kA, kPort, {"in 1", "in 2", "in 3"}));
    ASSERT_TRUE(lab.SendUdp(a, kB, kPort, {"out 1", "out 2"}));
    ASSERT_TRUE(lab.SendUdp(a, kB, kPort + 1, {"other port"}));
    EXPECT_TRUE(window.WaitFor("show:", 5, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // anything more would be a fault

    run.StopCaptureRun();  // how long an idle receive waits is pinned in test_capture_run
    EXPECT_EQ(run.LastEnd(), CaptureRunEnd::Stopped);
    EXPECT_EQ(run.ExitCode(), 0);

    const std::string in = "show:" + kB + ">" + kA, out = "show:" + kA + ">" + kB;
    Events shown, expected = {out, out, in, in, in};  // sorted: a's address is lower
    for (const std::string& e : window.Events())
        if (e.rfind("show:", 0) == 0) shown.push_back(e);
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(window.Events().back(), "stop");
    EXPECT_EQ(store.Count(), 5u);
    EXPECT_GE(run.Statistics().datagrams, 6u);
    const std::string text = LogText();
    EXPECT_EQ(Occurrences(text, "IP HEADER\t"), 5u);
    EXPECT_EQ(Occurrences(text, "other port") + Occurrences(text, "probe"), 0u);
    EXPECT_EQ(Occurrences(text, "in 2"), 1u);  // messages are on by default
}

TEST_F(LiveCaptureRunTest, ANamespaceWithOnlyLoopbackHasNoInterface) {
    CEnterNamespace inside(lab.AddNamespace("lo"));
    ASSERT_TRUE(inside.Ok());
    CCaptureRun run(store, log, filters, &window);
    ASSERT_EQ(run.StartCaptureRun(), 0);
    ASSERT_TRUE(run.WaitCaptureRun(5000));
    EXPECT_EQ(window.Events(), (Events{"reset", "failure:Can not found network interface!!!"}));
    EXPECT_EQ(LogText(), "");
}

// Run by this program under setpriv as an unprivileged user: one start in the
// namespace it was put in, its requests and log size on standard output.
int ProbeRun(const char* logDirectory) {
    CPacketStore store;
    CCaptureLog log;
    log.SetDirectory(logDirectory);
    CFilterSetHolder filters;
    CRecorder window;
    CCaptureRun run(store, log, filters, &window);
    if (run.StartCaptureRun() != 0 || !run.WaitCaptureRun(5000)) return 1;
    for (std::string e : window.Events()) {
        std::replace(e.begin(), e.end(), '\n', '|');
        std::printf("%s\n", e.c_str());
    }
    for (const std::string& name : FilesIn(logDirectory))
        std::printf("log %zu\n", ReadFile(std::string(logDirectory) + "/" + name).size());
    return 0;
}

TEST_F(LiveCaptureRunTest, WithoutCapNetRawThePermissionMessageAndAnEmptyLog) {
    const std::string a = lab.AddMember("a", kA + "/24");
    const CRunResult probe = lab.Exec(a, {std::filesystem::read_symlink("/proc/self/exe"), "--probe-run",
                                          lab.Scratch() + "/log"}, true);
    EXPECT_EQ(probe.status, 0);
    EXPECT_EQ(probe.output,
              "reset\n"
              "failure:Can not set network card parameters properly|"
              "Check if current user account has administrative priviledges\n"
              "log 0\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--probe-run") == 0) return ProbeRun(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
