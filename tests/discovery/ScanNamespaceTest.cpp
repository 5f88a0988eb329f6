// The sweep on namespaces built by the test: a scanning namespace and host
// namespaces on one bridge, some answering, one silent, names from the
// scanner's own hosts file. Replies that come late or from elsewhere are
// the probe's test with a stand-in network (ScanLogicTest).

#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/platform/net/NetnsLab.h"

namespace {

using Lines = std::vector<std::string>;

std::string Hostname()
{
    char name[128] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

struct CScanOutcome {
    Lines masks, hosts, cursor;
    int sent = 0;
    std::string output;
};

class ScanInNamespaces : public testing::Test {
protected:
    void SetUp() override { SKIP_WITHOUT_NAMESPACES(); }

    // The scanner at 10.213.7.37 with the given prefix length, among hosts of
    // 10.213.7.0/24.
    void Build(const std::string& prefixLength)
    {
        scanner = lab.AddMember("scan", "10.213.7.37/" + prefixLength);
        for (const char* host : {"34", "45", "120", "200"})
            lab.AddMember(host, std::string("10.213.7.") + host + "/24");
        const std::string silent = lab.AddMember("silent", "10.213.7.40/24");
        lab.Run(silent, {"sysctl", "-qw", "net.ipv4.icmp_echo_ignore_all=1"});
    }

    CScanOutcome Scan(bool unprivileged = false)
    {
        const CRunResult run = lab.Helper(scanner, {"scan"}, unprivileged);
        EXPECT_EQ(run.status, 0) << run.output;
        CScanOutcome outcome{LinesStartingWith(run.output, "mask"), LinesStartingWith(run.output, "host"),
                             LinesStartingWith(run.output, "cursor"), 0, run.output};
        for (std::size_t at = 0; (at = run.output.find("sent 12 bytes\n", at)) != std::string::npos; ++at)
            ++outcome.sent;
        return outcome;
    }

    CNetnsLab lab;
    std::string scanner;
};

TEST_F(ScanInNamespaces, FullSubnetListsAnsweringHostsInOrderWithNames)
{
    Build("24");
    lab.WriteHosts(scanner, "127.0.0.1 localhost\n10.213.7.37 scanner.lab " + Hostname() +
                                "\n10.213.7.34 charlie.lab\n10.213.7.120 bravo.lab alias\n"
                                "10.213.7.45 delta.lab\n10.213.7.40 silent.lab\n");
    const CScanOutcome scan = Scan();
    EXPECT_EQ(scan.masks, Lines{"255.255.255.0"});
    EXPECT_EQ(scan.hosts, (Lines{"10.213.7.34\tcharlie.lab", "10.213.7.37\tscanner.lab", "10.213.7.45\tdelta.lab",
                                 "10.213.7.120\tbravo.lab", "10.213.7.200\t"}));
    EXPECT_EQ(scan.cursor, Lines{"1\t1"});
    EXPECT_GE(scan.sent, 254);  // the broadcast address cannot be sent to
    EXPECT_NE(scan.output.find("recvfrom() failed: 11\n"), std::string::npos);
}

TEST_F(ScanInNamespaces, NarrowSubnetAsRootUnprivilegedWithoutSocketsAndThroughTheHelpersEchoService)
{
    Build("28");
    const std::string names = "127.0.0.1 localhost\n10.213.7.34 charlie.lab\n10.213.7.37 scanner.lab\n"
                              "10.213.7.45 delta.lab\n";
    lab.WriteHosts(scanner, names + "10.213.7.37 " + Hostname() + "\n");
    const Lines expected{"10.213.7.34\tcharlie.lab", "10.213.7.37\tscanner.lab", "10.213.7.45\tdelta.lab"};
    {
        SCOPED_TRACE("raw socket");
        const CScanOutcome scan = Scan();
        EXPECT_EQ(scan.masks, Lines{"255.255.255.240"});
        EXPECT_EQ(scan.hosts, expected);
        EXPECT_EQ(scan.sent, 15);
    }
    {
        SCOPED_TRACE("unprivileged datagram socket");
        lab.Run(scanner, {"sysctl", "-qw", "net.ipv4.ping_group_range=65534 65534"});
        EXPECT_EQ(Scan(true).hosts, expected);
    }
    {
        SCOPED_TRACE("no socket can be opened");
        lab.Run(scanner, {"sysctl", "-qw", "net.ipv4.ping_group_range=1 0"});
        const CScanOutcome scan = Scan(true);
        EXPECT_EQ(scan.masks, Lines{"255.255.255.240"});
        EXPECT_EQ(scan.hosts, Lines{});
        EXPECT_EQ(scan.sent, 0);
        EXPECT_EQ(scan.cursor, Lines{"1\t1"});
    }
    {
        SCOPED_TRACE("the capture helper's echo service, without and with its capability");
        lab.CopyCaptureHelper(false);
        EXPECT_EQ(Scan(true).hosts, Lines{});
        lab.CopyCaptureHelper(true);
        const CScanOutcome scan = Scan(true);
        EXPECT_EQ(scan.masks, Lines{"255.255.255.240"});
        EXPECT_EQ(scan.hosts, expected);
        EXPECT_EQ(scan.sent, 14) << "neither the network's nor its broadcast address";
        EXPECT_EQ(scan.cursor, Lines{"1\t1"});
    }
    for (const std::string& own : {std::string(), "127.0.1.1 " + Hostname() + "\n"}) {
        SCOPED_TRACE("computer name unresolved or on the loopback: " + own);
        lab.WriteHosts(scanner, names + own);
        EXPECT_EQ(Scan().hosts, expected);
    }
}

// The scanner on two networks: the first one's unless the computer name
// lies on the other, in the window and in the helper alike.
TEST_F(ScanInNamespaces, TwoNetworksSweepTheFirstUnlessTheComputerNameIsOnTheOther)
{
    scanner = lab.AddMember("scan", "10.213.7.37/28");
    lab.Run(scanner, {"ip", "addr", "add", "10.214.8.37/28", "dev", "e0"});
    lab.AddMember("34", "10.213.7.34/28");
    lab.AddMember("40", "10.214.8.40/28");
    const std::string names = "127.0.0.1 localhost\n10.213.7.34 first.lab\n10.214.8.40 second.lab\n";
    const std::pair<std::string, Lines> cases[] = {
        {"", {"10.213.7.34\tfirst.lab", "10.213.7.37\t"}},
        {"10.214.8.37 " + Hostname() + "\n", {"10.214.8.37\t" + Hostname(), "10.214.8.40\tsecond.lab"}},
    };
    lab.CopyCaptureHelper(true);
    for (const auto& [own, hosts] : cases) {
        lab.WriteHosts(scanner, names + own);
        const CScanOutcome scan = Scan();
        EXPECT_EQ(scan.masks, (Lines{"255.255.255.240", "255.255.255.240"}));
        EXPECT_EQ(scan.hosts, hosts) << own;
        EXPECT_EQ(Scan(true).hosts, hosts) << "through the helper: " << own;
    }
}

TEST_F(ScanInNamespaces, WideNetworkOnlyIsNotSwept)
{
    Build("16");
    const CScanOutcome scan = Scan();
    EXPECT_EQ(scan.masks, Lines{});
    EXPECT_EQ(scan.hosts, Lines{});
    EXPECT_EQ(scan.sent, 0);
    EXPECT_EQ(scan.cursor, Lines{"1\t1"});
}

}  // namespace
