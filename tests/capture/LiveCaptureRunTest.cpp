// The capture run on a live interface through the capture helper, inside
// namespaces made by the test: traffic of both directions filtered, stored
// and logged, a prompt stop on a quiet link, each start failure, a window
// without any capability, and a helper that never outlives its window.

#include "capture/CaptureRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/capture/HelperCaptureSource.h"
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

// Each start failure through the helper, with the text of its step.
TEST_F(LiveCaptureRunTest, StartFailuresKeepTheirTexts) {
    const std::string a = lab.AddMember("a", kA + "/24"), loopbackOnly = lab.AddNamespace("lo");
    const std::string locked = lab.Scratch() + "/orn-capture-locked";
    std::filesystem::copy_file(ORN_CAPTURE_HELPER, locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const struct {
        const char* what;
        std::string ns, helper, message;
    } cases[] = {
        {"no helper", a, lab.Scratch() + "/missing", kInitializationMessage},
        {"a helper this user may not run", a, locked, CaptureFailureMessage(CaptureFailure::Permission)},
        {"a helper that ends without an answer", a, "/bin/true", kInitializationMessage},
        {"no interface that qualifies", loopbackOnly, "", kNoInterfaceMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CEnterNamespace inside(c.ns);
        ASSERT_TRUE(inside.Ok());
        CRecorder recorder;
        CaptureRunOptions options;
        options.source = [&] { return std::make_unique<CHelperCaptureSource>(HelperCaptureOptions{c.helper, ""}); };
        CCaptureRun run(store, log, filters, &recorder, options);
        ASSERT_EQ(run.StartCaptureRun(), 0);
        ASSERT_TRUE(run.WaitCaptureRun(5000));
        EXPECT_EQ(recorder.Events(), (Events{"reset", "failure:" + c.message})) << run.ErrorText();
    }
}

std::vector<pid_t> Children() {
    std::vector<pid_t> children;
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ignored)) {
        std::ifstream list(task.path() / "children");
        for (pid_t pid; list >> pid;) children.push_back(pid);
    }
    return children;
}

// The effective and permitted sets of a process, as /proc shows them.
std::string Capabilities(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line, sets;
    while (std::getline(status, line))
        if (line.rfind("CapEff:", 0) == 0 || line.rfind("CapPrm:", 0) == 0) sets += line.substr(line.find_first_not_of(" \t", 7)) + " ";
    return sets;
}

// Run by this program under setpriv as an unprivileged user, in namespace a
// with the helper beside it: one run that sends UDP datagrams to b until a
// few were shown, then its requests, what it stored and logged, and the
// capabilities of both processes.
int ProbeRun(const char* logDirectory) {
    std::printf("window capabilities %s\n", Capabilities(getpid()).c_str());
    CPacketStore store;
    CCaptureLog log;
    log.SetDirectory(logDirectory);
    CFilterSetHolder filters;
    CRecorder window;
    CCaptureRun run(store, log, filters, &window);
    if (run.StartCaptureRun() != 0) return 1;
    pid_t helper = -1;
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in to{AF_INET, htons(kPort), {inet_addr(kB.c_str())}, {}};
    const std::string answer = "show:" + kB + ">" + kA;  // b's port unreachable
    for (int i = 0; i < 100 && run.Listening() && !window.Count(answer); ++i) {
        const std::string payload = "probe " + std::to_string(i);
        sendto(s, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    close(s);
    // Only a capture that runs has its helper still there.
    if (window.Count("show:") && !Children().empty()) helper = Children().front();
    if (helper > 0) std::printf("helper capabilities %s\n", Capabilities(helper).c_str());
    const auto stopping = std::chrono::steady_clock::now();
    run.StopCaptureRun();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stopping);
    if (helper > 0) std::printf("stopped %s, helper %s\n", ms.count() < 150 ? "promptly" : "slowly",
                                kill(helper, 0) != 0 ? "gone" : "still there");
    Events shown;
    for (std::string e : window.Events()) {
        std::replace(e.begin(), e.end(), '\n', '|');
        if (e.rfind("show:", 0) == 0)
            shown.push_back(e);
        else if (e.rfind("bytes:", 0) != 0 && e.rfind("packets:", 0) != 0)
            std::printf("%s\n", e.c_str());
    }
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    for (const std::string& e : shown) std::printf("%s\n", e.c_str());
    std::size_t logged = 0;
    for (const std::string& name : FilesIn(logDirectory))
        logged += Occurrences(ReadFile(std::string(logDirectory) + "/" + name), "IP HEADER\t");
    std::printf("%s\n", logged == store.Count() ? "every stored record logged" : "log and store differ");
    return 0;
}

TEST_F(LiveCaptureRunTest, UnprivilegedWindowCapturesOnlyThroughTheHelper) {
    const std::string a = lab.AddMember("a", kA + "/24");
    lab.AddMember("b", kB + "/24");
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string none = "window capabilities 0000000000000000 0000000000000000 \n";
    {
        SCOPED_TRACE("the helper without its capability");
        lab.CopyCaptureHelper(false);
        const CRunResult probe = lab.Exec(a, {self, "--probe-run", lab.Scratch() + "/log-denied"}, true);
        EXPECT_EQ(probe.status, 0);
        EXPECT_EQ(probe.output, none +
                                    "reset\n"
                                    "failure:Can not set network card parameters properly|"
                                    "Check if current user account has administrative priviledges|"
                                    "On this system: join group orn and log in again; for a build tree, as root: "
                                    "setcap cap_net_raw+ep build/orn-capture\n"
                                    "every stored record logged\n");
    }
    {
        SCOPED_TRACE("the helper with cap_net_raw");
        lab.CopyCaptureHelper(true);
        const CRunResult probe = lab.Exec(a, {self, "--probe-run", lab.Scratch() + "/log"}, true);
        EXPECT_EQ(probe.status, 0);
        for (const std::string& line :
             {none, std::string("helper capabilities 0000000000000000 0000000000000000 \n"),
              std::string("stopped promptly, helper gone\n"), "\nshow:" + kA + ">" + kB + "\n",
              "\nshow:" + kB + ">" + kA + "\n", std::string("\nstop\nshow:"),
              std::string("\nevery stored record logged\n")})
            EXPECT_NE(probe.output.find(line), std::string::npos) << line << "\nin:\n" << probe.output;
    }
}

// Run as root in namespace a: a window process that captures is killed with
// SIGKILL; its helper must not outlive it.
int ProbeOrphan() {
    prctl(PR_SET_CHILD_SUBREAPER, 1);  // the orphaned helper comes here, to be reaped
    int fds[2];
    if (pipe(fds) != 0) return 1;
    const pid_t window = fork();
    if (window == 0) {
        CPacketStore store;
        CCaptureLog log;
        log.SetDirectory("/dev/null/none");
        CFilterSetHolder filters;
        CRecorder recorder;
        CCaptureRun run(store, log, filters, &recorder);
        run.StartCaptureRun();
        for (int i = 0; i < 200 && Children().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const pid_t helper = Children().empty() ? -1 : Children().front();
        if (write(fds[1], &helper, sizeof helper) != sizeof helper) _exit(1);
        pause();
        _exit(0);
    }
    pid_t helper = -1;
    if (read(fds[0], &helper, sizeof helper) != sizeof helper || helper <= 0) return 1;
    kill(window, SIGKILL);
    waitpid(window, nullptr, 0);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(helper, nullptr, WNOHANG) == helper) {
            std::printf("helper gone\n");
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::printf("helper outlived the window\n");
    kill(helper, SIGKILL);
    return 0;
}

TEST_F(LiveCaptureRunTest, TheHelperDoesNotOutliveAKilledWindow) {
    const std::string a = lab.AddMember("a", kA + "/24");
    const CRunResult probe = lab.Exec(a, {std::filesystem::read_symlink("/proc/self/exe"), "--probe-orphan"});
    EXPECT_EQ(probe.status, 0);
    EXPECT_EQ(probe.output, "helper gone\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--probe-run") == 0) return ProbeRun(argv[2]);
    if (argc == 2 && std::strcmp(argv[1], "--probe-orphan") == 0) return ProbeOrphan();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
