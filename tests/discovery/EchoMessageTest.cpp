// The echo request bytes, the reply check and the address arithmetic of the sweep.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <array>
#include <vector>

#include "discovery/EchoMessage.h"
#include "discovery/InterfaceMasks.h"
#include "discovery/LocalHostScan.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(IcmpChecksum, OnesComplementSumStoredLowByteFirstAndVerifyingToZero)
{
    const struct {
        Bytes data;  // bytes 2 and 3 hold zero, where the checksum goes
        std::uint16_t sum;
    } cases[] = {
        {{0x00, 0x01, 0x00, 0x00, 0xF4, 0xF5, 0xF6, 0xF7}, 0x1114},  // network order 0x1411
        {{1, 2, 0, 0, 0xFF}, 0xFCFF},                            // the odd byte padded on its right
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00}, 0xFFFE},          // folding the carry carries again
        {{}, 0xFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IcmpChecksum(c.data), c.sum) << c.data.size() << " bytes";
        if (c.data.size() < 4 || c.data[2] != 0)
            continue;
        Bytes copy = c.data;
        copy[2] = static_cast<std::uint8_t>(c.sum & 0xFF);
        copy[3] = static_cast<std::uint8_t>(c.sum >> 8);
        EXPECT_EQ(IcmpChecksum(copy), 0) << c.data.size() << " bytes";
    }
}

TEST(EchoRequest, ExactBytesWithTheIdentifierOfALargeProcessId)
{
    std::array<std::uint8_t, kEchoRequestSize> request;
    request.fill(0xEE);
    EXPECT_EQ(EchoIdentifier(0x0012ABCDu), 0xABCD);
    BuildEchoRequest(request, EchoIdentifier(0x0012ABCDu), inet_addr("10.1.2.77"));
    EXPECT_EQ(request, (std::array<std::uint8_t, kEchoRequestSize>{8, 0, 0x1E, 0x06, 0xCD, 0xAB, 0, 0, 10, 1, 2, 77}));
}

TEST(IsEchoReplyForUs, ChecksLengthTypeAndIdentifierBehindTheHeader)
{
    const auto reply = [](std::uint8_t firstByte, std::size_t headerLength, std::uint8_t type,
                          std::uint8_t idLow, std::uint8_t idHigh) {
        Bytes b(headerLength, 0);
        if (headerLength > 0)
            b[0] = firstByte;
        b.insert(b.end(), {type, 0, 0x12, 0x34, idLow, idHigh, 0, 0});
        return b;
    };
    Bytes truncated = reply(0x45, 20, 0, 0xCD, 0xAB);
    truncated.pop_back();
    const struct {
        Bytes received;
        bool ipHeader;
        int expected;
        const char* what;
    } cases[] = {
        {reply(0x45, 20, 0, 0xCD, 0xAB), true, 1, "ours"},
        {reply(0x45, 20, 0, 0xAB, 0xCD), true, 0, "identifier byte order"},
        {reply(0x45, 20, 8, 0xCD, 0xAB), true, 0, "our own request"},
        {reply(0x45, 20, 0, 0xCD, 0xAC), true, 0, "the high byte differs"},
        {reply(0x46, 24, 0, 0xCD, 0xAB), true, 1, "header with options"},
        {reply(0x45, 24, 0, 0xCD, 0xAB), true, 0, "header length from the first byte"},
        {truncated, true, 0, "truncated"},
        {{0x4F}, true, 0, "header length beyond the data"},
        {{}, true, 0, "empty"},
        {reply(0, 0, 0, 0xCD, 0xAB), false, 1, "datagram socket: the ICMP message alone"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsEchoReplyForUs(c.received, EchoIdentifier(0x0012ABCDu), c.ipHeader), c.expected) << c.what;
}

TEST(InterfaceMasks, OnlyMasksOf24BitsOrNarrowerAreBrowsable)
{
    // Read little-endian: the fourth byte is the most significant.
    for (const char* mask : {"255.255.255.0", "255.255.255.128", "255.255.255.254", "255.255.255.255",
                             "0.0.0.1"})
        EXPECT_TRUE(IsBrowsableNetmask(inet_addr(mask))) << mask;
    for (const char* mask : {"255.0.0.0", "255.255.0.0", "255.255.254.0", "0.0.0.0", "254.255.255.0"})
        EXPECT_FALSE(IsBrowsableNetmask(inet_addr(mask))) << mask;
}

TEST(SubnetAddresses, AscendingOverTheHostPartIncludingSubnetAndBroadcast)
{
    const std::vector<std::uint32_t> all = SubnetAddresses(inet_addr("10.1.2.77"), inet_addr("255.255.255.0"));
    ASSERT_EQ(all.size(), 256u);
    for (unsigned i = 0; i < all.size(); ++i)
        EXPECT_EQ(DottedAddress(all[i]), "10.1.2." + std::to_string(i));

    std::vector<std::string> quad;
    for (std::uint32_t a : SubnetAddresses(inet_addr("192.168.7.201"), inet_addr("255.255.255.252")))
        quad.push_back(DottedAddress(a));
    EXPECT_EQ(quad, (std::vector<std::string>{"192.168.7.200", "192.168.7.201", "192.168.7.202",
                                              "192.168.7.203"}));
    EXPECT_EQ(SubnetAddresses(inet_addr("10.0.0.5"), inet_addr("255.255.255.255")),
              std::vector<std::uint32_t>{inet_addr("10.0.0.5")});
    EXPECT_TRUE(SubnetAddresses(inet_addr("10.0.0.5"), inet_addr("255.255.0.0")).empty());
}

}  // namespace
