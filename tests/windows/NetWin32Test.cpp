// The scan's Win32 services that can run under Wine without sending: the
// interface list of SIO_GET_INTERFACE_LIST and the computer's name.
#include <gtest/gtest.h>

#include "platform/net/InterfaceList.h"
#include "platform/net/Resolver.h"
#include "tests/capture/CaptureTestSupport.h"

TEST(NetWin32, ListsEachIpv4AddressWithItsMaskAndNamesTheComputer) {
    std::vector<CInterfaceAddress> list;
    ASSERT_EQ(ReadInterfaceAddresses(list), 1);
    ASSERT_FALSE(list.empty());
    bool loopback = false;
    for (const CInterfaceAddress& entry : list) {
        in_addr address{};
        address.s_addr = entry.address;
        EXPECT_EQ(entry.name, inet_ntoa(address));
        const std::uint32_t mask = ntohl(entry.netmask);
        EXPECT_EQ(~mask & (~mask + 1), 0u) << entry.name;  // ones, then zeros
        loopback = loopback || (entry.name == "127.0.0.1" && mask == 0xFF000000u && entry.up);
    }
    EXPECT_TRUE(loopback);
    EXPECT_FALSE(ComputerName().empty());
}
