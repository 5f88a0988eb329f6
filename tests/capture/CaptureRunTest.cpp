// The capture run over capture files: the rate meter, the filter decision
// with what is stored, logged and reported, start failures, and the end of
// the owner while its run is mid-stream.

#include "capture/CaptureRun.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

#include "decode/IpDatagram.h"
#include "platform/capture/PcapSource.h"
#include "tests/capture/CaptureTestSupport.h"

namespace {

using Events = std::vector<std::string>;

struct CFixedLogClock : ILogClock {
    std::time_t CalendarSeconds() override { return 1796508985; }
};

CaptureSourceFactory FileSource(const std::string& path) {
    return [path] { return std::make_unique<CFileCaptureSource>(path); };
}

TEST(TrafficRateMeter, AveragesTheFinishedWindowOverEverySecondUpToTheNextDatagram) {
    CRecorder window;
    CCaptureWindowLink link(&window);
    std::atomic<int> listening{1};
    CTrafficRateMeter meter;
    meter.Count(100, 1000, listening, link);  // the first datagram ever: the empty window since second 0
    meter.Count(100, 1000, listening, link);
    meter.Count(100, 1072, listening, link);
    meter.Count(103, 500, listening, link);
    listening = 0;  // the window still rolls over, without a word to the labels
    meter.Count(104, 10, listening, link);
    listening = 1;
    meter.Count(106, 10, listening, link);
    meter.Count(90, 10, listening, link);  // a clock set back shows no negative rate
    link.Detach();
    meter.Count(95, 10, listening, link);
    EXPECT_EQ(window.Events(), (Events{"bytes:     0.000 KB/sec", "packets:0 packets/sec", "bytes:     1.000 KB/sec",
                                       "packets:1 packets/sec", "bytes:     0.005 KB/sec", "packets:0 packets/sec"}));
}

class CaptureRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.SetDirectory(logDir.path);
        filters.Publish(set);
    }
    std::string LogFile() {
        std::vector<std::string> files = FilesIn(logDir.path);
        return files.size() == 1 ? logDir.path + "/" + files[0] : "";
    }

    CTempDir dir, logDir;
    CFixedLogClock logClock;
    CPacketStore store;
    CCaptureLog log{&logClock};
    CFilterSet set;
    CFilterSetHolder filters;
    CRecorder window;
};

TEST_F(CaptureRunTest, KeepsLogsAndReportsWhatTheFiltersAcceptWhileEveryDatagramMovesTheMeter) {
    set.srcAddrs = {inet_addr("10.0.0.1")}, set.srcPorts = {0};    // anything with ports from 10.0.0.1
    set.destAddrs = {inet_addr("10.0.0.9")}, set.destPorts = {53};  // and DNS to 10.0.0.9
    filters.Publish(set);
    const std::vector<Frame> frames = {
        {Udp("10.0.0.1", "10.0.0.9", 1111, 80, std::string(972, 'a'))},
        {Ipv4("10.0.0.1", "10.0.0.9", 1, Bytes(980, 8))},               // ICMP has no ports: rejected
        {Udp("10.0.0.5", "10.0.0.9", 2222, 53, std::string(1044, 'b'))},
        {Udp("10.0.0.5", "10.0.0.9", 2222, 54, "c")},                   // rejected
    };
    WriteCapture(dir.path + "/mix.pcap", frames);
    std::vector<std::int64_t> seconds = {100, 100, 100, 103};
    std::size_t tick = 0;
    CaptureRunOptions options;
    options.source = FileSource(dir.path + "/mix.pcap");
    options.clock = [&] { return seconds[tick++ % seconds.size()]; };
    CCaptureRun run(store, log, filters, &window, options);

    ASSERT_EQ(run.StartCaptureRun(), 0);
    ASSERT_TRUE(run.WaitCaptureRun(5000));
    EXPECT_EQ(window.Events(), (Events{"bytes:     0.000 KB/sec", "packets:0 packets/sec", "show:10.0.0.1>10.0.0.9",
                                       "show:10.0.0.5>10.0.0.9", "bytes:     1.000 KB/sec", "packets:1 packets/sec",
                                       "stop"}));
    EXPECT_EQ(std::make_tuple(run.ExitCode(), run.LastEnd(), run.Statistics().datagrams),
              std::make_tuple(0, CaptureRunEnd::EndOfFile, 4u));
    ASSERT_EQ(store.Count(), 2u);
    EXPECT_STREQ(store.Element(1)->destinationPort, "53");
    EXPECT_EQ(store.Element(1)->Message().bytes.size(), 8u + 1044u);

    // The log holds exactly the decoder's text of each accepted datagram.
    std::string expected;
    for (const Frame* f : {&frames[0], &frames[2]}) {
        std::vector<char> text(kDecodedTextSize);
        int accepted = 0, length = 0;
        CPacketRecord record;
        DecodeIpDatagram(f->bytes, std::uint32_t(f->bytes.size()), accepted, text, length, set.srcAddrs, set.destAddrs,
                         set.srcPorts, set.destPorts, 0, 1, record);
        expected += "<Sat, 05 Dec 2026 22:16:25>\t" + std::string(text.data(), std::size_t(length)) + "\r\n\r\n";
    }
    EXPECT_EQ(ReadFile(LogFile()), expected);

    // A second run adds to the store and a new log; the meter carries on.
    // A third, whose log has no usable directory, still shows its records and
    // counts them as not logged, with the log's reason.
    tick = 1;
    for (const std::string& where : {logDir.path, dir.path + "/mix.pcap/Log"}) {
        log.SetDirectory(where);
        ASSERT_EQ(run.StartCaptureRun(), 0);
        ASSERT_TRUE(run.WaitCaptureRun(5000));
    }
    EXPECT_EQ(std::make_tuple(store.Count(), window.Count("show:"), run.NotLogged(), run.LogProblem()),
              std::make_tuple(6u, 6u, 2u, dir.path + "/mix.pcap/Log: Not a directory"));
    EXPECT_EQ(FilesIn(logDir.path).size(), 2u);
    EXPECT_EQ(window.Count("stop"), 3u);
}

TEST_F(CaptureRunTest, AStartFailureResetsTheWindowClosesTheEmptyLogThenShowsTheMessage) {
    WriteCapture(dir.path + "/one.pcap", {{Udp("10.0.0.1", "10.0.0.2", 1, 2, "x")}});
    store.Append(std::make_unique<CPacketRecord>());
    std::ofstream(dir.path + "/junk.pcap") << "this is no capture file at all";
    struct CLogWatcher : CRecorder {
        CCaptureLog* log = nullptr;
        bool logOpenAtMessage = true;
        void ShowStartFailure(const std::string& text) override {
            logOpenAtMessage = log->IsOpen();
            CRecorder::ShowStartFailure(text);
        }
    } watcher;
    watcher.log = &log;
    CaptureRunOptions options;
    options.source = FileSource(dir.path + "/junk.pcap");
    CCaptureRun run(store, log, filters, &watcher, options);
    ASSERT_EQ(run.StartCaptureRun(), 0);
    ASSERT_TRUE(run.WaitCaptureRun(5000));
    EXPECT_EQ(watcher.Events(), (Events{"reset", "failure:Can not perform initialization properly!!!"}));
    EXPECT_FALSE(watcher.logOpenAtMessage);
    EXPECT_EQ(std::make_tuple(run.ExitCode(), run.Listening(), run.LastEnd(), run.ErrorText()),
              std::make_tuple(-1, 0, CaptureRunEnd::StartFailed, "not a pcap or pcapng capture file"));
    ASSERT_NE(LogFile(), "");
    EXPECT_EQ(ReadFile(LogFile()), "");
    EXPECT_EQ(store.Count(), 1u);

    // A run stopped before its first datagram still posts the stop command.
    run.SetSourceFactory([&] {
        run.ClearListening();
        return std::make_unique<CFileCaptureSource>(dir.path + "/one.pcap");
    });
    ASSERT_EQ(run.StartCaptureRun(), 0);
    run.StopCaptureRun();
    EXPECT_EQ(run.LastEnd(), CaptureRunEnd::Stopped);
    EXPECT_EQ(watcher.Count("stop"), 1u);
    EXPECT_EQ(store.Count(), 1u);
}

// A source that plays one step per receive: a datagram, or nothing yet
// (empty). `stop` clears the run's flag first, as Stop pressed while the
// receive waits. Each receive notes its timeout and calls `look`.
struct CScript : ICaptureSource {
    struct Step {
        Bytes datagram;
        bool stop = false;
    };
    CScript(std::vector<Step>& steps, std::vector<int>& timeouts, std::function<void()>& look)
        : steps(steps), timeouts(timeouts), look(look) {}
    CaptureFailure Startup() override { return CaptureFailure::None; }
    CaptureFailure FindInterface() override { return CaptureFailure::None; }
    CaptureFailure Activate() override { return CaptureFailure::None; }
    ReceiveResult Receive(CapturedDatagram& d, int timeoutMs) override {
        timeouts.push_back(timeoutMs);
        look();
        if (next == steps.size()) return ReceiveResult::EndOfFile;
        const Step& step = steps[next++];
        if (step.stop) run->ClearListening();
        d.data = step.datagram.data(), d.length = std::uint32_t(step.datagram.size());
        return step.datagram.empty() ? ReceiveResult::NothingYet : ReceiveResult::Datagram;
    }
    void Stop() override {}
    CaptureStatistics Statistics() override { return {}; }
    const std::string& ErrorText() const override { return error; }

    std::vector<Step>& steps;
    std::vector<int>& timeouts;
    std::function<void()>& look;
    inline static CCaptureRun* run = nullptr;
    std::size_t next = 0;
    std::string error;
};

// Whatever the store holds, and so whatever the window can show or read, is
// in the log file already; a datagram received after Stop is not kept; an
// idle receive waits 50 ms, one inside a batch only looks.
TEST_F(CaptureRunTest, TheLogHoldsWhatTheWindowCanSeeAndIdleReceivesWaitFiftyMs) {
    const auto datagram = [](const char* from) { return Udp(from, "10.0.0.9", 1, 2, "m"); };
    std::vector<CScript::Step> steps = {
        {datagram("10.0.0.1")}, {datagram("10.0.0.2")}, {}, {datagram("10.0.0.3")}, {datagram("10.0.0.4"), true}};
    std::vector<int> timeouts;
    std::vector<std::string> faults;
    std::function<void()> look = [&] {
        const std::string logged = ReadFile(log.FilePath());
        std::size_t entries = 0;
        for (auto at = logged.find("IP HEADER"); at != std::string::npos; at = logged.find("IP HEADER", at + 1)) ++entries;
        if (entries < store.Count()) faults.push_back(std::to_string(store.Count()) + " stored, " + std::to_string(entries) + " logged");
    };
    struct CLookingWindow : CRecorder {
        std::function<void()>* look;
        void ShowAcceptedPacket(std::shared_ptr<const CPacketRecord> record) override {
            (*look)();
            CRecorder::ShowAcceptedPacket(std::move(record));
        }
    } looking;
    looking.look = &look;
    CaptureRunOptions options;
    options.clock = [] { return std::int64_t(100); };
    options.source = [&] { return std::make_unique<CScript>(steps, timeouts, look); };
    CCaptureRun run(store, log, filters, &looking, options);
    CScript::run = &run;
    ASSERT_EQ(run.StartCaptureRun(), 0);
    ASSERT_TRUE(run.WaitCaptureRun(5000));
    EXPECT_EQ(timeouts, (std::vector<int>{50, 0, 0, 50, 0}));
    EXPECT_EQ(faults, std::vector<std::string>{});
    EXPECT_EQ(looking.Count("show:"), 3u);
    ASSERT_EQ(store.Count(), 3u);
    EXPECT_STREQ(store.Element(2)->sourceAddress, "10.0.0.3");
    EXPECT_EQ(std::make_tuple(run.LastEnd(), ReadFile(LogFile()).find("10.0.0.4")),
              std::make_tuple(CaptureRunEnd::Stopped, std::string::npos));
}

// The main window's shape: the parts, the run, and the window side declared
// last so that it goes first. Its destructor must end the run before that.
struct COwner {
    COwner(CaptureRunOptions options, CaptureRunEnd& end)
        : run(store, log, filters, &window, std::move(options)), end(end) {}
    ~COwner() {
        run.EndCaptureRun();
        end = run.LastEnd();
    }
    CPacketStore store;
    CCaptureLog log;
    CFilterSetHolder filters;
    CCaptureRun run;
    CRecorder window;
    CaptureRunEnd& end;
};

TEST_F(CaptureRunTest, TheOwnerCanGoWhileItsRunIsMidStream) {
    std::vector<Frame> frames(200000, Frame{Udp("10.0.0.1", "10.0.0.2", 1000, 2000, std::string(200, 'p'))});
    WriteCapture(dir.path + "/long.pcap", frames);
    CaptureRunOptions options;
    options.source = FileSource(dir.path + "/long.pcap");
    for (int round = 0; round < 3; ++round) {
        CaptureRunEnd end = CaptureRunEnd::NotEnded;
        auto owner = std::make_unique<COwner>(options, end);
        owner->log.SetDirectory(logDir.path);
        ASSERT_EQ(owner->run.StartCaptureRun(), 0);
        ASSERT_TRUE(owner->window.WaitFor("show:", 1000 * (round + 1), 5000));
        owner.reset();
        EXPECT_EQ(end, CaptureRunEnd::Stopped);  // it was still reading: not waited to the end
    }
}

}  // namespace
