// The capture helper's protocol: what either side accepts, and the real
// helper against a caller that breaks it. The helper holds a capability, so
// anything but an exact, well-formed request must be refused whole.

#include "platform/helper/HelperProtocol.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/helper/HelperProcess.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Request(std::uint8_t kind, const std::string& name, std::uint8_t version = 1) {
    Bytes b = {'O', 'R', 'N', 'q', version, kind, static_cast<std::uint8_t>(name.size())};
    for (const char c : name) b.push_back(static_cast<std::uint8_t>(c));
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
    const Case cases[] = {
        {"capture, first interface", Request(1, ""), true},
        {"capture, named", Request(1, "enp0s31f6.100"), true},
        {"echo socket", Request(2, ""), true},
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
        {"echo with a name", Request(2, "e0"), false},
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
    for (const HelperReport& r : {started, failed, counters, HelperReport(HelperReportKind::EchoSocket)}) {
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

TEST_F(HostileCaller, MalformedRequestsEndTheHelperWithoutAnAnswer) {
    const Bytes hostile[] = {Bytes(5000, 'x'), Request(1, "../x"), Request(7, ""), Bytes{'O', 'R', 'N', 'q'}};
    for (const Bytes& bytes : hostile) {
        SCOPED_TRACE(bytes.size());
        if (!helper.Running()) {
            ASSERT_EQ(helper.Start(ORN_CAPTURE_HELPER), 0);
        }
        ASSERT_EQ(send(helper.ControlFd(), bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
        HelperReport report;
        EXPECT_EQ(Answer(report), CHelperProcess::Received::Closed);
        helper.End(1000);
    }
}

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

}  // namespace
