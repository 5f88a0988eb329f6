// The probe against a stand-in network: which datagrams count as answers and
// what the diagnostics say, including failures a real socket rarely shows.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <deque>
#include <functional>

#include "discovery/EchoMessage.h"
#include "discovery/LocalHostScan.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<std::string>;

struct CQueued {
    std::uint32_t sender;
    Bytes bytes;
};

class CFakeNet : public CScanServices {
public:
    // What arrives after a request to an address; nothing by default.
    std::function<std::vector<CQueued>(std::uint32_t to, const Bytes& request)> arrivals =
        [](std::uint32_t, const Bytes&) { return std::vector<CQueued>{}; };
    bool socketsAvailable = true;
    bool raw = true;
    int nonBlockingError = 0, receiveTimeoutError = 0, sendTimeoutError = 0, sendError = 0;
    int emptyError = EAGAIN;
    Events events;

    Bytes ReplyTo(const Bytes& request, std::uint8_t type = 0) const
    {
        Bytes b = raw ? Bytes{0x45, 0, 0, 32, 0, 0, 0, 0, 64, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0} : Bytes{};
        b.insert(b.end(), request.begin(), request.end());
        b[raw ? 20 : 0] = type;
        return b;
    }

    int ReadInterfaces(std::vector<CInterfaceAddress>&) override { return 0; }
    std::string ComputerName() override { return {}; }
    std::vector<std::uint32_t> ResolveHost(const std::string&) override { return {}; }
    std::string ReverseLookup(std::uint32_t) override { return {}; }
    std::unique_ptr<CEchoSocket> OpenSocket() override;
    std::unique_ptr<CEchoSweep> StartSweep(const CInterfaceAddress&, std::span<const std::uint32_t>, int) override
    {
        return nullptr;
    }
    std::uint32_t ProcessId() override { return 0x0012ABCD; }
    void Sleep(int milliseconds) override { events.push_back("sleep " + std::to_string(milliseconds)); }
};

class CFakeSocket : public CEchoSocket {
public:
    explicit CFakeSocket(CFakeNet& network) : net(network) {}
    bool DeliversIpHeader() const override { return net.raw; }
    std::uint16_t Identifier(std::uint32_t processId) const override
    {
        return net.raw ? EchoIdentifier(processId) : 0x4321;
    }
    int SetNonBlocking() override { return net.nonBlockingError; }
    int SetReceiveTimeout(int ms) override { return ms == 32 ? net.receiveTimeoutError : EDOM; }
    int SetSendTimeout(int ms) override { return ms == 32 ? net.sendTimeoutError : EDOM; }
    long SendTo(std::uint32_t address, std::span<const std::uint8_t> bytes, int& error) override
    {
        if ((error = net.sendError) != 0)
            return -1;
        const Bytes request(bytes.begin(), bytes.end());
        EXPECT_EQ(IcmpChecksum(request), 0);
        net.events.push_back("send " + DottedAddress(address));
        for (CQueued& q : net.arrivals(address, request))
            queue.push_back(std::move(q));
        return static_cast<long>(bytes.size());
    }
    long ReceiveFrom(std::span<std::uint8_t> buffer, std::uint32_t& sender, int& error) override
    {
        net.events.push_back("receive");
        if (queue.empty()) {
            error = net.emptyError;
            return -1;
        }
        std::copy(queue.front().bytes.begin(), queue.front().bytes.end(), buffer.begin());
        sender = queue.front().sender;
        const long n = static_cast<long>(queue.front().bytes.size());
        queue.pop_front();
        return n;
    }

private:
    CFakeNet& net;
    std::deque<CQueued> queue;
};

std::unique_ptr<CEchoSocket> CFakeNet::OpenSocket()
{
    events.push_back("open");
    return socketsAvailable ? std::make_unique<CFakeSocket>(*this) : nullptr;
}

// The probe's result and what it printed.
std::pair<int, std::string> Probe(CFakeNet& net, const char* address = "10.1.2.10")
{
    testing::internal::CaptureStdout();
    const int result = ProbeHost(inet_addr(address), net);
    std::fflush(stdout);
    return {result, testing::internal::GetCapturedStdout()};
}

TEST(ProbeHost, CountsOnlyOurReplyFromTheProbedAddress)
{
    const std::uint32_t other = inet_addr("10.1.2.9");
    CFakeNet net;
    net.arrivals = [&](std::uint32_t to, const Bytes& r) {
        // A late reply to the previous probe, our own request, then the genuine reply.
        return std::vector<CQueued>{{other, net.ReplyTo(r)}, {to, net.ReplyTo(r, 8)}, {to, net.ReplyTo(r)}};
    };
    EXPECT_EQ(Probe(net), std::make_pair(1, std::string("sent 12 bytes\n")));
    EXPECT_EQ(net.events, (Events{"open", "send 10.1.2.10", "sleep 32", "receive", "receive", "receive"}));

    net.arrivals = [&](std::uint32_t, const Bytes& r) { return std::vector<CQueued>{{other, net.ReplyTo(r)}}; };
    EXPECT_EQ(Probe(net), std::make_pair(0, std::string("sent 12 bytes\n")));

    net.arrivals = [&](std::uint32_t to, const Bytes& r) {
        Bytes foreign = net.ReplyTo(r);
        foreign[24] ^= 0x01;  // another process's identifier
        return std::vector<CQueued>{{to, foreign}};
    };
    EXPECT_EQ(Probe(net).first, 0);

    net.raw = false;  // the kernel's identifier, no IP header
    net.arrivals = [&](std::uint32_t to, const Bytes& r) { return std::vector<CQueued>{{to, net.ReplyTo(r)}}; };
    EXPECT_EQ(Probe(net), std::make_pair(1, std::string("sent 12 bytes\n")));
}

TEST(ProbeHost, DiagnosticsAndFailuresAreNeverAnswers)
{
    CFakeNet net;
    EXPECT_EQ(Probe(net), std::make_pair(0, std::string("sent 12 bytes\nrecvfrom() failed: 11\n")));
    net.emptyError = ETIMEDOUT;
    EXPECT_EQ(Probe(net), std::make_pair(0, std::string("sent 12 bytes\ntimed out\n")));

    net.events.clear();
    net.receiveTimeoutError = EINVAL;
    EXPECT_EQ(Probe(net), std::make_pair(0, std::string("setsockopt(SO_RCVTIMEO) failed: 22\n")));
    net.receiveTimeoutError = 0;
    net.sendTimeoutError = ENOPROTOOPT;
    EXPECT_EQ(Probe(net), std::make_pair(0, "setsockopt(SO_SNDTIMEO) failed: " + std::to_string(ENOPROTOOPT) + "\n"));
    net.sendTimeoutError = 0;
    net.sendError = EACCES;  // the broadcast address
    EXPECT_EQ(Probe(net, "10.1.2.255"), std::make_pair(0, std::string()));
    net.nonBlockingError = EBADF;
    EXPECT_EQ(Probe(net), std::make_pair(0, std::string()));
    EXPECT_EQ(net.events, (Events{"open", "open", "open", "open"})) << "nothing sent, no wait";

    net.socketsAvailable = false;
    EXPECT_EQ(Probe(net), std::make_pair(-1, std::string()));
}

}  // namespace
