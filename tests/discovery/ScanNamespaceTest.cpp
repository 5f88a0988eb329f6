// The sweep on namespaces built by the test: a scanning namespace and host
// namespaces on one bridge, some answering, one silent, one answering 200 ms
// late, names from each namespace's own hosts file.

#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/platform/net/NetnsLab.h"

namespace {

using Lines = std::vector<std::string>;

#define SKIP_WITHOUT_NAMESPACES()                                          \
    if (const std::string why = NetnsUnavailableReason(); !why.empty()) \
    GTEST_SKIP() << why

constexpr int kSlowMilliseconds = 200;

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

CScanOutcome Scan(CNetnsLab& lab, const std::string& scanner, bool unprivileged = false)
{
    const CRunResult run = lab.Helper(scanner, {"scan"}, unprivileged);
    EXPECT_EQ(run.status, 0) << run.output;
    CScanOutcome outcome{LinesStartingWith(run.output, "mask"), LinesStartingWith(run.output, "host"),
                         LinesStartingWith(run.output, "cursor"), 0, run.output};
    for (std::size_t at = 0; (at = run.output.find("sent 12 bytes\n", at)) != std::string::npos; ++at)
        ++outcome.sent;
    return outcome;
}

// A slow host must really answer, only late, or its absence would prove nothing.
void ExpectSlowAndSilent(CNetnsLab& lab, const std::string& scanner, const std::string& slow,
                         const std::string& silent)
{
    const Lines slowTrip = LinesStartingWith(lab.Helper(scanner, {"rtt", slow}).output, "rtt");
    ASSERT_EQ(slowTrip.size(), 1u);
    ASSERT_NE(slowTrip[0], "none");
    EXPECT_GE(std::stoi(slowTrip[0]), kSlowMilliseconds - 20);
    EXPECT_EQ(LinesStartingWith(lab.Helper(scanner, {"rtt", silent}).output, "rtt"), Lines{"none"});
}

TEST(ScanInNamespaces, FullSubnetListsAnsweringHostsInOrderWithNames)
{
    SKIP_WITHOUT_NAMESPACES();
    CNetnsLab lab;
    const std::string scanner = lab.AddMember("scan", "10.213.7.77/24");
    lab.AddMember("alpha", "10.213.7.9/24");
    lab.AddMember("bravo", "10.213.7.120/24");
    lab.AddMember("nameless", "10.213.7.200/24");
    lab.SetSysctl(lab.AddMember("silent", "10.213.7.40/24"), "net.ipv4.icmp_echo_ignore_all", "1");
    // Its late replies come while .56 or so is probed: no host answers there.
    const std::string how = lab.MakeSlow(lab.AddMember("slow", "10.213.7.50/24"), kSlowMilliseconds);
    if (how.empty())
        GTEST_SKIP() << "neither netem nor a raw socket to answer late";
    lab.WriteHosts(scanner, "127.0.0.1 localhost\n10.213.7.77 scanner.lab " + Hostname() +
                                "\n10.213.7.9 alpha.lab\n10.213.7.120 bravo.lab alias\n"
                                "10.213.7.40 silent.lab\n10.213.7.50 slow.lab\n");
    ExpectSlowAndSilent(lab, scanner, "10.213.7.50", "10.213.7.40");

    const CScanOutcome scan = Scan(lab, scanner);
    EXPECT_EQ(scan.masks, Lines{"255.255.255.0"});
    EXPECT_EQ(scan.hosts, (Lines{"10.213.7.9\talpha.lab", "10.213.7.77\tscanner.lab",
                                 "10.213.7.120\tbravo.lab", "10.213.7.200\t"}))
        << "slow host made " << how;
    EXPECT_EQ(scan.cursor, Lines{"1\t1"});
    EXPECT_GE(scan.sent, 254);  // the broadcast address cannot be sent to
    EXPECT_NE(scan.output.find("recvfrom() failed: 11\n"), std::string::npos);
}

TEST(ScanInNamespaces, NarrowSubnetAsRootUnprivilegedAndWithoutSockets)
{
    SKIP_WITHOUT_NAMESPACES();
    CNetnsLab lab;
    const std::string scanner = lab.AddMember("scan", "10.213.8.37/28");
    lab.AddMember("charlie", "10.213.8.34/28");
    lab.AddMember("delta", "10.213.8.45/28");
    lab.SetSysctl(lab.AddMember("silent", "10.213.8.40/28"), "net.ipv4.icmp_echo_ignore_all", "1");
    if (lab.MakeSlow(lab.AddMember("slow", "10.213.8.35/28"), kSlowMilliseconds).empty())
        GTEST_SKIP() << "neither netem nor a raw socket to answer late";
    const std::string names = "127.0.0.1 localhost\n10.213.8.34 charlie.lab\n10.213.8.37 scanner.lab\n"
                              "10.213.8.45 delta.lab\n";
    lab.WriteHosts(scanner, names + "10.213.8.37 " + Hostname() + "\n");
    ExpectSlowAndSilent(lab, scanner, "10.213.8.35", "10.213.8.40");
    const Lines expected{"10.213.8.34\tcharlie.lab", "10.213.8.37\tscanner.lab", "10.213.8.45\tdelta.lab"};

    {
        SCOPED_TRACE("raw socket");
        const CScanOutcome scan = Scan(lab, scanner);
        EXPECT_EQ(scan.masks, Lines{"255.255.255.240"});
        EXPECT_EQ(scan.hosts, expected);
        EXPECT_EQ(scan.sent, 15);
    }
    {
        SCOPED_TRACE("unprivileged datagram socket");
        lab.SetSysctl(scanner, "net.ipv4.ping_group_range", "65534 65534");
        EXPECT_EQ(Scan(lab, scanner, true).hosts, expected);
    }
    {
        SCOPED_TRACE("no socket can be opened");
        lab.SetSysctl(scanner, "net.ipv4.ping_group_range", "1 0");
        const CScanOutcome scan = Scan(lab, scanner, true);
        EXPECT_EQ(scan.masks, Lines{"255.255.255.240"});
        EXPECT_EQ(scan.hosts, Lines{});
        EXPECT_EQ(scan.sent, 0);
        EXPECT_EQ(scan.cursor, Lines{"1\t1"});
    }
    for (const std::string& own : {std::string(), "127.0.1.1 " + Hostname() + "\n"}) {
        SCOPED_TRACE("computer name unresolved or on the loopback: " + own);
        lab.WriteHosts(scanner, names + own);
        EXPECT_EQ(Scan(lab, scanner).hosts, expected);
    }
}

TEST(ScanInNamespaces, WideNetworkOnlyIsNotSwept)
{
    SKIP_WITHOUT_NAMESPACES();
    CNetnsLab lab;
    const std::string scanner = lab.AddMember("scan", "10.214.0.5/16");
    lab.AddMember("peer", "10.214.0.6/16");
    const CScanOutcome scan = Scan(lab, scanner);
    EXPECT_EQ(scan.masks, Lines{});
    EXPECT_EQ(scan.hosts, Lines{});
    EXPECT_EQ(scan.sent, 0);
    EXPECT_EQ(scan.cursor, Lines{"1\t1"});
}

}  // namespace
