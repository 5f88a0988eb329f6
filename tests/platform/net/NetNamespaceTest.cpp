// The net layer inside namespaces built by the test: the interface list, the
// two kinds of echo socket and the resolver.

#include <gtest/gtest.h>

#include <unistd.h>

#include "tests/platform/net/NetnsLab.h"

namespace {

using Lines = std::vector<std::string>;

#define SKIP_WITHOUT_NAMESPACES()                                          \
    if (const std::string why = NetnsUnavailableReason(); !why.empty()) \
    GTEST_SKIP() << why

TEST(NetLayerInNamespace, InterfaceListKeepsOrderAndQualifiesOnlyUpNarrowMasks)
{
    SKIP_WITHOUT_NAMESPACES();
    CNetnsLab lab;
    const std::string ns = lab.AddMember("if", "10.215.1.2/24");
    lab.Run(ns, {"ip", "link", "add", "d0", "type", "veth", "peer", "name", "x0"});
    lab.Run(ns, {"ip", "link", "add", "d1", "type", "veth", "peer", "name", "x1"});
    lab.Run(ns, {"ip", "addr", "add", "10.215.2.1/24", "dev", "d0"});  // stays down
    lab.Run(ns, {"ip", "addr", "add", "10.216.0.1/16", "dev", "d1"});
    lab.Run(ns, {"ip", "link", "set", "d1", "up"});

    const CRunResult run = lab.Helper(ns, {"interfaces"});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(LinesStartingWith(run.output, "if"),
              (Lines{"lo\t127.0.0.1\t255.0.0.0\tup", "e0\t10.215.1.2\t255.255.255.0\tup",
                     "d0\t10.215.2.1\t255.255.255.0\tdown", "d1\t10.216.0.1\t255.255.0.0\tup"}));
    EXPECT_EQ(LinesStartingWith(run.output, "masks-read"), Lines{"1"});
    EXPECT_EQ(LinesStartingWith(run.output, "mask"), Lines{"255.255.255.0"});
    EXPECT_EQ(LinesStartingWith(run.output, "browsable"), Lines{"1"});

    // Without the up /24 only the loopback and the /16 remain: nothing to browse.
    lab.Run(ns, {"ip", "link", "set", "e0", "down"});
    const CRunResult wide = lab.Helper(ns, {"interfaces"});
    EXPECT_EQ(LinesStartingWith(wide.output, "mask"), Lines{});
    EXPECT_EQ(LinesStartingWith(wide.output, "browsable"), Lines{"0"});
}

TEST(NetLayerInNamespace, EchoSocketFallsBackToDatagramAndProbesWork)
{
    SKIP_WITHOUT_NAMESPACES();
    CNetnsLab lab;
    const std::string prober = lab.AddMember("prober", "10.215.3.1/24");
    lab.AddMember("peer", "10.215.3.2/24");
    const std::string silent = lab.AddMember("silent", "10.215.3.3/24");
    lab.SetSysctl(silent, "net.ipv4.icmp_echo_ignore_all", "1");

    EXPECT_EQ(LinesStartingWith(lab.Helper(prober, {"socket"}).output, "socket")[0].substr(0, 3),
              "raw");
    EXPECT_EQ(lab.Helper(prober, {"probe", "10.215.3.2"}).output, "sent 12 bytes\nprobe\t1\n");

    // Unprivileged, with the datagram socket allowed for every group.
    lab.SetSysctl(prober, "net.ipv4.ping_group_range", "0 2147483647");
    const Lines kind = LinesStartingWith(lab.Helper(prober, {"socket"}, true).output, "socket");
    ASSERT_EQ(kind.size(), 1u);
    EXPECT_EQ(kind[0].substr(0, 9), "datagram\t");
    EXPECT_EQ(lab.Helper(prober, {"probe", "10.215.3.2"}, true).output, "sent 12 bytes\nprobe\t1\n");
    EXPECT_EQ(lab.Helper(prober, {"probe", "10.215.3.1"}, true).output, "sent 12 bytes\nprobe\t1\n");
    EXPECT_EQ(lab.Helper(prober, {"probe", "10.215.3.3"}, true).output,
              "sent 12 bytes\nrecvfrom() failed: 11\nprobe\t0\n");

    // No group may open one: no socket at all.
    lab.SetSysctl(prober, "net.ipv4.ping_group_range", "1 0");
    EXPECT_EQ(lab.Helper(prober, {"socket"}, true).output, "socket\tnone\n");
    EXPECT_EQ(lab.Helper(prober, {"probe", "10.215.3.2"}, true).output, "probe\t-1\n");
}

TEST(NetLayerInNamespace, ResolverUsesTheNamespaceHostsFile)
{
    SKIP_WITHOUT_NAMESPACES();
    char hostname[128] = {};
    ASSERT_EQ(gethostname(hostname, sizeof hostname - 1), 0);
    CNetnsLab lab;
    const std::string ns = lab.AddMember("names", "10.215.4.9/24");
    lab.WriteHosts(ns, "127.0.0.1 localhost\n10.215.4.9 self.lab " + std::string(hostname) +
                           "\n10.215.4.20 echo.lab echo\n");

    const CRunResult run = lab.Helper(ns, {"names", "10.215.4.20", "10.215.4.21", "10.215.4.9"});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(LinesStartingWith(run.output, "computer"), Lines{hostname});
    EXPECT_EQ(LinesStartingWith(run.output, "address"), Lines{"10.215.4.9"});
    EXPECT_EQ(LinesStartingWith(run.output, "name"),
              (Lines{"10.215.4.20\techo.lab", "10.215.4.21\t", "10.215.4.9\tself.lab"}));
}

}  // namespace
