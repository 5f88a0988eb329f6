// The interface list inside a namespace built by the test. The resolver and
// the echo sockets are exercised by the sweeps in namespaces.

#include <gtest/gtest.h>

#include "tests/platform/net/NetnsLab.h"

namespace {

using Lines = std::vector<std::string>;

TEST(NetLayerInNamespace, InterfaceListKeepsOrderAndQualifiesOnlyUpNarrowMasks)
{
    SKIP_WITHOUT_NAMESPACES();
    CNetnsLab lab;
    const std::string ns = lab.AddMember("if", "10.215.1.2/24");
    // d0 stays down, d1 carries a /16.
    lab.Run(ns, {"sh", "-c",
                 "ip link add d0 type veth peer name x0 && ip link add d1 type veth peer name x1 && "
                 "ip addr add 10.215.2.1/24 dev d0 && ip addr add 10.216.0.1/16 dev d1 && ip link set d1 up"});

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

}  // namespace
