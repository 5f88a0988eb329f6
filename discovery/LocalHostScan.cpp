#include "discovery/LocalHostScan.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "discovery/EchoMessage.h"
#include "discovery/InterfaceMasks.h"

namespace {

constexpr std::size_t kProbeReceiveSize = 1024;
// Bounds the reads of one probe when the socket is flooded.
constexpr int kMaxDatagramsPerProbe = 64;

class CWaitCursor {
public:
    explicit CWaitCursor(const CScanCursor& scanCursor) : cursor(scanCursor)
    {
        if (cursor.begin)
            cursor.begin();
    }
    ~CWaitCursor()
    {
        if (cursor.end)
            cursor.end();
    }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    const CScanCursor& cursor;
};

std::array<std::uint8_t, 4> Octets(std::uint32_t address)
{
    std::array<std::uint8_t, 4> octets;
    std::memcpy(octets.data(), &address, octets.size());
    return octets;
}

// Reads what arrived during the wait. A datagram that is not our reply from
// the probed address (a late reply to an earlier probe, someone else's echo)
// does not end the probe: a genuine reply may be queued behind it.
int ReadEchoReply(CEchoSocket& socket, std::uint32_t address, std::uint16_t identifier)
{
    std::array<std::uint8_t, kProbeReceiveSize> buffer;
    for (int n = 0; n < kMaxDatagramsPerProbe; ++n) {
        std::uint32_t sender = 0;
        int error = 0;
        const long received = socket.ReceiveFrom(buffer, sender, error);
        if (received < 0) {
            if (n == 0) {
                if (error == ETIMEDOUT)
                    std::printf("timed out\n");
                else
                    std::printf("recvfrom() failed: %d\n", error);
            }
            return 0;
        }
        const std::span<const std::uint8_t> datagram(buffer.data(), static_cast<std::size_t>(received));
        if (sender == address && IsEchoReplyForUs(datagram, identifier, socket.DeliversIpHeader()))
            return 1;
    }
    return 0;
}

// One address of a sweep by the echo service, told as ProbeHost tells its
// own probe: -1 once the service has ended.
int SweepProbe(CEchoSweep& sweep, std::uint32_t address)
{
    CEchoOutcome outcome;
    if (!sweep.Next(address, outcome))
        return -1;
    if (outcome.sent < 0)
        return 0;
    std::printf("sent %d bytes\n", static_cast<int>(outcome.sent));
    if (!outcome.answered)
        std::printf("recvfrom() failed: %d\n", EAGAIN);
    return outcome.answered ? 1 : 0;
}

// The interface that owns the swept network: the first browsable one whose
// network holds the local address.
const CInterfaceAddress& OwnInterface(const std::vector<CInterfaceAddress>& browsable, std::uint32_t local)
{
    for (const CInterfaceAddress& own : browsable) {
        if ((local & own.netmask) == (own.address & own.netmask))
            return own;
    }
    return browsable.front();
}

}  // namespace

int ProbeHost(std::uint32_t address, CScanServices& services)
{
    const std::unique_ptr<CEchoSocket> socket = services.OpenSocket();
    if (!socket)
        return -1;
    // Non-blocking, so that the receive after the wait takes only what has arrived.
    if (socket->SetNonBlocking() != 0)
        return 0;

    std::array<std::uint8_t, kEchoRequestSize> request;
    const std::uint16_t identifier = socket->Identifier(services.ProcessId());
    BuildEchoRequest(request, identifier, address);

    if (const int error = socket->SetReceiveTimeout(kProbeWaitMilliseconds); error != 0) {
        std::printf("setsockopt(SO_RCVTIMEO) failed: %d\n", error);
        return 0;
    }
    if (const int error = socket->SetSendTimeout(kProbeWaitMilliseconds); error != 0) {
        std::printf("setsockopt(SO_SNDTIMEO) failed: %d\n", error);
        return 0;
    }

    int error = 0;
    const long sent = socket->SendTo(address, request, error);
    if (sent < 0)
        return 0;
    std::printf("sent %d bytes\n", static_cast<int>(sent));

    services.Sleep(kProbeWaitMilliseconds);
    return ReadEchoReply(*socket, address, identifier);
}

void ScanLocalHosts(InterfaceMaskList& interfaceMasks, HostList& hosts, const CScanCursor& cursor,
                    CScanServices& services)
{
    const CWaitCursor wait(cursor);

    std::vector<CInterfaceAddress> entries;
    services.ReadInterfaces(entries);
    const std::vector<CInterfaceAddress> browsable = BrowsableInterfaces(entries);
    for (const CInterfaceAddress& entry : browsable)
        interfaceMasks.push_back(entry.netmask);
    if (browsable.empty())
        return;

    // The first browsable interface gives the mask, and the address when the
    // computer name has none on a local subnet.
    const CInterfaceAddress& carrier = browsable.front();
    const std::uint32_t local =
        ChooseLocalAddress(services.ResolveHost(services.ComputerName()), browsable, carrier.address);

    const std::vector<std::uint32_t> addresses = SubnetAddresses(local, carrier.netmask);
    // Without an echo socket of its own the process asks the echo service to
    // sweep the rest; a probe without either (-1) proves nothing about the host.
    std::unique_ptr<CEchoSweep> sweep;
    bool ownSockets = true;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const std::uint32_t address = addresses[i];
        int answer = ownSockets ? ProbeHost(address, services) : -1;
        if (answer == -1 && ownSockets) {
            ownSockets = false;
            sweep = services.StartSweep(OwnInterface(browsable, local),
                                        std::span(addresses).subspan(i), kProbeWaitMilliseconds);
        }
        if (sweep)
            answer = SweepProbe(*sweep, address);
        if (answer != 1)
            continue;
        hosts.push_back(
            std::make_unique<CHostEntry>(DottedAddress(address), services.ReverseLookup(address)));
    }
}

std::vector<std::uint32_t> SubnetAddresses(std::uint32_t localAddress, std::uint32_t netmask)
{
    std::vector<std::uint32_t> addresses;
    if (!IsBrowsableNetmask(netmask))
        return addresses;
    const std::array<std::uint8_t, 4> local = Octets(localAddress);
    const std::array<std::uint8_t, 4> mask = Octets(netmask);
    std::array<std::uint8_t, 4> subnet;
    for (std::size_t i = 0; i < subnet.size(); ++i)
        subnet[i] = static_cast<std::uint8_t>(local[i] & mask[i]);
    for (unsigned last = 0; last <= 0xFF; ++last) {
        if ((last & mask[3]) != subnet[3])
            continue;
        std::array<std::uint8_t, 4> octets = subnet;
        octets[3] = static_cast<std::uint8_t>(last);
        std::uint32_t address;
        std::memcpy(&address, octets.data(), sizeof address);
        addresses.push_back(address);
    }
    return addresses;
}

std::uint32_t ChooseLocalAddress(const std::vector<std::uint32_t>& resolved,
                                 const std::vector<CInterfaceAddress>& browsable, std::uint32_t fallback)
{
    for (const std::uint32_t address : resolved) {
        for (const CInterfaceAddress& own : browsable) {
            if ((address & own.netmask) == (own.address & own.netmask))
                return address;
        }
    }
    return fallback;
}

std::string DottedAddress(std::uint32_t address)
{
    const std::array<std::uint8_t, 4> o = Octets(address);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", o[0], o[1], o[2], o[3]);
    return text;
}
