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

// RFC 1071 in network byte order, the odd byte padded on its right.
std::uint16_t ReferenceChecksum(const Bytes& b)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 2)
        sum += static_cast<std::uint32_t>(b[i] << 8 | (i + 1 < b.size() ? b[i + 1] : 0));
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

TEST(IcmpChecksum, MatchesRfc1071AndVerifiesToZero)
{
    for (const Bytes& data : {Bytes{8, 0, 0, 0, 0xCD, 0xAB, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
                              Bytes{0x45, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11, 0x00, 0x00,
                                    0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0xC7},
                              Bytes{1, 2, 0, 0, 0xFF}}) {
        Bytes copy = data;
        copy[2] = copy[3] = 0;
        const std::uint16_t sum = IcmpChecksum(copy);
        // Stored low byte first, it is the network-order RFC value.
        EXPECT_EQ(static_cast<std::uint16_t>((sum & 0xFF) << 8 | sum >> 8), ReferenceChecksum(copy));
        copy[2] = static_cast<std::uint8_t>(sum & 0xFF);
        copy[3] = static_cast<std::uint8_t>(sum >> 8);
        EXPECT_EQ(IcmpChecksum(copy), 0) << "odd length " << (copy.size() % 2);
    }
    // Carries out of the high half must be folded back twice.
    EXPECT_EQ(IcmpChecksum(Bytes(64, 0xFF)), 0);
    EXPECT_EQ(IcmpChecksum(Bytes{}), 0xFFFF);
}

TEST(EchoRequest, LayoutWithIdentifierOfLargeProcessId)
{
    std::array<std::uint8_t, kEchoRequestSize> request;
    request.fill(0xEE);
    const std::uint16_t identifier = EchoIdentifier(0x0012ABCDu);  // above 65535
    EXPECT_EQ(identifier, 0xABCD);
    BuildEchoRequest(request, identifier, inet_addr("10.1.2.77"));
    EXPECT_EQ(request[0], 8);
    EXPECT_EQ(request[1], 0);
    EXPECT_EQ(request[4], 0xCD);  // low byte first
    EXPECT_EQ(request[5], 0xAB);
    EXPECT_EQ(request[6], 0);
    EXPECT_EQ(request[7], 0);
    EXPECT_EQ((std::array<std::uint8_t, 4>{request[8], request[9], request[10], request[11]}),
              (std::array<std::uint8_t, 4>{10, 1, 2, 77}));
    EXPECT_EQ(IcmpChecksum(request), 0);
}

Bytes Reply(std::uint8_t firstByte, std::size_t headerLength, std::uint8_t type, std::uint8_t idLow,
            std::uint8_t idHigh)
{
    Bytes b(headerLength, 0);
    if (headerLength > 0)
        b[0] = firstByte;
    for (std::uint8_t x : {type, std::uint8_t{0}, std::uint8_t{0x12}, std::uint8_t{0x34}, idLow,
                           idHigh, std::uint8_t{0}, std::uint8_t{0}})
        b.push_back(x);
    return b;
}

TEST(IsEchoReplyForUs, ChecksLengthTypeAndIdentifierBehindTheHeader)
{
    const std::uint16_t id = EchoIdentifier(0x0012ABCDu);
    EXPECT_EQ(IsEchoReplyForUs(Reply(0x45, 20, 0, 0xCD, 0xAB), id), 1);
    EXPECT_EQ(IsEchoReplyForUs(Reply(0x45, 20, 0, 0xAB, 0xCD), id), 0) << "identifier byte order";
    EXPECT_EQ(IsEchoReplyForUs(Reply(0x45, 20, 8, 0xCD, 0xAB), id), 0) << "our own request";
    EXPECT_EQ(IsEchoReplyForUs(Reply(0x45, 20, 3, 0xCD, 0xAB), id), 0);
    EXPECT_EQ(IsEchoReplyForUs(Reply(0x45, 20, 0, 0xCD, 0xAC), id), 0);
    // An IP header with options: 6 words.
    EXPECT_EQ(IsEchoReplyForUs(Reply(0x46, 24, 0, 0xCD, 0xAB), id), 1);
    EXPECT_EQ(IsEchoReplyForUs(Reply(0x45, 24, 0, 0xCD, 0xAB), id), 0);

    Bytes shortReply = Reply(0x45, 20, 0, 0xCD, 0xAB);
    shortReply.pop_back();
    EXPECT_EQ(IsEchoReplyForUs(shortReply, id), 0);
    EXPECT_EQ(IsEchoReplyForUs(Bytes{0x4F}, id), 0);  // header length 60 beyond the data
    EXPECT_EQ(IsEchoReplyForUs(Bytes{}, id), 0);

    // The datagram socket delivers the ICMP message alone.
    EXPECT_EQ(IsEchoReplyForUs(Reply(0, 0, 0, 0xCD, 0xAB), id, false), 1);
    EXPECT_EQ(IsEchoReplyForUs(Bytes{0, 0, 0, 0, 0xCD, 0xAB, 0}, id, false), 0);
}

TEST(InterfaceMasks, OnlyMasksOf24BitsOrNarrowerAreBrowsable)
{
    // Read little-endian: the fourth byte is the most significant.
    for (const char* mask : {"255.255.255.0", "255.255.255.128", "255.255.255.254", "255.255.255.255",
                             "0.0.0.1"})
        EXPECT_TRUE(IsBrowsableNetmask(inet_addr(mask))) << mask;
    for (const char* mask : {"255.0.0.0", "255.255.0.0", "255.255.254.0", "0.0.0.0", "254.255.255.0"})
        EXPECT_FALSE(IsBrowsableNetmask(inet_addr(mask))) << mask;

    const std::vector<std::uint32_t> loopbackThen24{inet_addr("255.0.0.0"), inet_addr("255.255.255.0")};
    const std::vector<std::uint32_t> wideOnly{inet_addr("255.0.0.0"), inet_addr("255.255.0.0")};
    EXPECT_TRUE(HasBrowsableInterface(loopbackThen24));
    EXPECT_FALSE(HasBrowsableInterface(wideOnly));
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
