// The capture run on a live interface, inside namespaces made by the test:
// traffic of both directions filtered, stored and logged, a prompt stop on a
// quiet link, and the start failures without an interface or without the
// right to capture.

#include "capture/CaptureRun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/capture/CaptureTestSupport.h"
#include "tests/platform/capture/TestNetwork.h"

namespace {

using Events = std::vector<std::string>;
constexpr std::uint16_t kPort = 47100;

std::size_t Occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class LiveCaptureRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root";
        log.SetDirectory(logDir.path);
    }
    std::string LogText() {
        std::vector<std::string> files = FilesIn(logDir.path);
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? "" : ReadFile(logDir.path + "/" + files[0]);
    }
    CTempDir logDir;
    CPacketStore store;
    CCaptureLog log;
    CFilterSetHolder filters;
    CRecorder window;
};

TEST_F(LiveCaptureRunTest, SeesBothDirectionsKeepsWhatTheFiltersAcceptAndStopsPromptly) {
    CTestLink link;
    ASSERT_TRUE(link.Ok());
    CFilterSet set;
    set.srcAddrs = {link.addressBValue};  // everything with ports from b
    set.srcPorts = {0};
    set.destAddrs = {link.addressBValue};  // and what a sends to b's port
    set.destPorts = {kPort};
    filters.Publish(set);
    CEnterNamespace inside(link.a.Name());
    ASSERT_TRUE(inside.Ok());
    CCaptureRun run(store, log, filters, &window);
    ASSERT_EQ(run.StartCaptureRun(), 0);
    // Until the capture is up: probes that the filters reject but the source counts.
    for (int i = 0; i < 60 && run.Statistics().datagrams == 0; ++i) {
        SendUdpFrom(link.a.Name(), link.addressB, kPort + 2, {"probe"});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_GT(run.Statistics().datagrams, 0u) << run.ErrorText();

    // Nobody listens on either side, so each UDP datagram also draws an ICMP
    // error back: port-less, and rejected.
    ASSERT_TRUE(SendUdpFrom(link.b.Name(), link.addressA, kPort, {"in 1", "in 2", "in 3"}));
    ASSERT_TRUE(SendUdpFrom(link.a.Name(), link.addressB, kPort, {"out 1", "out 2"}));
    ASSERT_TRUE(SendUdpFrom(link.a.Name(), link.addressB, kPort + 1, {"other port"}));
    EXPECT_TRUE(window.WaitFor("show:", 5, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // anything more would be a fault

    auto stopping = std::chrono::steady_clock::now();
    run.StopCaptureRun();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopping).count();
    std::printf("stop on a quiet link took %.1f ms\n", ms);
    EXPECT_LT(ms, 500.0);
    EXPECT_EQ(run.LastEnd(), CaptureRunEnd::Stopped);
    EXPECT_EQ(run.ExitCode(), 0);

    const std::string in = "show:" + link.addressB + ">" + link.addressA;
    const std::string out = "show:" + link.addressA + ">" + link.addressB;
    Events shown;
    for (const std::string& e : window.Events())
        if (e.rfind("show:", 0) == 0) shown.push_back(e);
    std::sort(shown.begin(), shown.end());
    Events expected = {in, in, in, out, out};
    std::sort(expected.begin(), expected.end());
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
    CTestNamespace lonely("lo");
    ASSERT_TRUE(lonely.Ok());
    CEnterNamespace inside(lonely.Name());
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
    CTestLink link;
    ASSERT_TRUE(link.Ok());
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    CTempDir probeDir;  // a copy the unprivileged user can surely run, and a log it can write
    chmod(probeDir.path.c_str(), 0777);
    const std::string probe = probeDir.path + "/probe";
    ASSERT_TRUE(RunQuietly("cp '" + std::string(self) + "' '" + probe + "' && chmod 755 '" + probe + "'"));
    const std::string command = "ip netns exec " + link.a.Name() +
                                " setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all '" + probe +
                                "' --probe-run '" + probeDir.path + "/log' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(output,
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
