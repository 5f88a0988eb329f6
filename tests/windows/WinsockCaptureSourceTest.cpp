// The Windows capture source over a stand-in for its socket calls (Wine's raw
// sockets refuse receive-all, and a test must not capture): the order of the
// calls, each step's failure text as a run shows it, the address it binds,
// and a Stop seen within the receive time-out.
#include "platform/capture/WinsockCaptureSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "capture/CaptureRun.h"
#include "tests/capture/CaptureTestSupport.h"

namespace {

// What a user of this system can do about it, not the Linux advice.
const std::string kWindowsPermission = std::string(kPermissionMessage) + "\n" + kWindowsPermissionAdvice;

struct CCalls {
    std::mutex mutex;
    std::vector<std::string> log;
    std::string failAt;  // the call that fails
    std::vector<std::uint32_t> addresses{inet_addr("10.0.0.2"), inet_addr("192.0.2.7")};
    std::vector<Bytes> datagrams;  // what the receives give, then time-outs
    int receiveTimeoutMs = 0;
    int longestTimeoutMs = 0;  // the run may stop while a batch's short look is set
    void Add(const std::string& call) {
        std::lock_guard lock(mutex);
        log.push_back(call);
    }
};

class CStandIn final : public IWinsockCalls {
public:
    explicit CStandIn(CCalls& calls) : c_(calls) {}
    bool Startup() override { return Step("startup"); }
    void Cleanup() override { c_.Add("cleanup"); }
    Socket OpenRawSocket() override { return Step("socket") ? Socket{7} : kNoSocket; }
    bool LocalAddresses(Socket, std::vector<std::uint32_t>& addresses) override {
        addresses = c_.addresses;
        return Step("addresses");
    }
    std::uint32_t InterfaceAddress(const std::string& name) override {
        c_.Add("interface " + name);
        return name == "Ethernet 2" ? inet_addr("192.0.2.7") : 0;
    }
    bool Bind(Socket, std::uint32_t address) override {
        in_addr a{};
        a.s_addr = address;
        return Step(std::string("bind ") + inet_ntoa(a));
    }
    bool ReceiveAll(Socket) override { return Step("rcvall"); }
    bool SetReceiveTimeout(Socket, int ms) override {
        c_.receiveTimeoutMs = ms;
        c_.longestTimeoutMs = std::max(c_.longestTimeoutMs, ms);
        return ms > 0;  // zero would be no time-out at all
    }
    int Receive(Socket, std::uint8_t* buffer, int size) override {
        std::unique_lock lock(c_.mutex);
        if (c_.datagrams.empty()) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(c_.receiveTimeoutMs));  // a quiet link
            return 0;
        }
        Bytes d = c_.datagrams.front();
        c_.datagrams.erase(c_.datagrams.begin());
        std::copy_n(d.begin(), std::min<std::size_t>(d.size(), std::size_t(size)), buffer);
        return int(d.size());
    }
    void Close(Socket) override { c_.Add("close"); }
    std::string LastError() override { return "error 10013"; }

private:
    bool Step(const std::string& call) {
        c_.Add(call);
        return call.rfind(c_.failAt, 0) != 0 || c_.failAt.empty();
    }
    CCalls& c_;
};

class WinsockCaptureSourceTest : public ::testing::Test {
protected:
    void SetUp() override { log.SetDirectory(logDir.path); }
    CaptureSourceFactory Source(const std::string& interfaceName = {}) {
        return [this, interfaceName] {
            return std::make_unique<CWinsockCaptureSource>(std::make_unique<CStandIn>(calls), interfaceName);
        };
    }
    CCalls calls;
    CTempDir logDir;
    CPacketStore store;
    CCaptureLog log;
    CFilterSetHolder filters;
    CRecorder window;
};

TEST_F(WinsockCaptureSourceTest, EachStepsFailureShowsItsTextAndReleasesWhatWasOpened) {
    const struct {
        const char* failAt;
        const char* text;
        std::vector<std::string> calls;
    } cases[] = {
        {"startup", kInitializationMessage, {"startup"}},
        {"socket", kInitializationMessage, {"startup", "socket", "cleanup"}},
        {"addresses", kNoInterfaceMessage, {"startup", "socket", "addresses", "close", "cleanup"}},
        {"bind", kInitializationMessage, {"startup", "socket", "addresses", "bind 10.0.0.2", "close", "cleanup"}},
        {"rcvall", kWindowsPermission.c_str(),
         {"startup", "socket", "addresses", "bind 10.0.0.2", "rcvall", "close", "cleanup"}},
    };
    for (const auto& c : cases) {
        calls.log.clear();
        calls.failAt = c.failAt;
        CRecorder shown;
        CCaptureRun run(store, log, filters, &shown, {Source(), true, false, {}});
        ASSERT_EQ(run.StartCaptureRun(), 0);
        ASSERT_TRUE(run.WaitCaptureRun(5000));
        EXPECT_EQ(run.ExitCode(), -1) << c.failAt;
        EXPECT_EQ(shown.Count(std::string("failure:") + c.text), 1u) << c.failAt;
        EXPECT_EQ(calls.log, c.calls);
    }
    // An empty address list is no interface either.
    calls.log.clear(), calls.failAt.clear(), calls.addresses.clear();
    CCaptureRun run(store, log, filters, &window, {Source(), true, false, {}});
    ASSERT_EQ(run.StartCaptureRun(), 0);
    ASSERT_TRUE(run.WaitCaptureRun(5000));
    EXPECT_EQ(window.Count(std::string("failure:") + kNoInterfaceMessage), 1u);
}

TEST_F(WinsockCaptureSourceTest, ReceivesOnTheChosenAddressAndSeesStopWithinTheTimeOut) {
    calls.datagrams = {Udp("192.0.2.7", "10.9.9.9", 1000, 53, "abc"), Ipv4("10.9.9.9", "192.0.2.7", 1, Bytes(12, 8))};
    CCaptureRun run(store, log, filters, &window, {Source("Ethernet 2"), true, false, {}});
    ASSERT_EQ(run.StartCaptureRun(), 0);
    ASSERT_TRUE(window.WaitFor("show:", 2, 5000));
    const auto begin = std::chrono::steady_clock::now();
    run.StopCaptureRun();
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(took, std::chrono::milliseconds(CCaptureRun::kReceiveTimeoutMs * 40));
    EXPECT_EQ(calls.longestTimeoutMs, CCaptureRun::kReceiveTimeoutMs);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"startup", "socket", "addresses", "interface Ethernet 2",
                                                   "bind 192.0.2.7", "rcvall", "close", "cleanup"}));
    EXPECT_EQ(store.Count(), 2u);
    EXPECT_EQ(run.Statistics().datagrams, 2u);
    EXPECT_EQ(run.ExitCode(), 0);
}

}  // namespace
