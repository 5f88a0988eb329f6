#pragma once
// The sweep of the local subnet: one ICMP echo request per address, in
// ascending order, 32 ms for each answer, and a reverse look-up per answer.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "discovery/HostEntry.h"
#include "discovery/ScanServices.h"

inline constexpr int kProbeWaitMilliseconds = 32;

// The caller's busy indication, shown from the start of the scan to its end.
struct CScanCursor {
    std::function<void()> begin;
    std::function<void()> end;
};

// One echo probe of address (bytes in network order): 1 when an echo reply
// carrying our identifier came back from that address within the wait, -1
// when no echo socket could be opened, 0 otherwise. Writes the diagnostic
// lines to standard output.
int ProbeHost(std::uint32_t address, CScanServices& services = SystemScanServices());

// Appends the browsable netmasks to interfaceMasks and every host that
// answers to hosts, in ascending address order: the subnet swept is the
// local address (ChooseLocalAddress) under the first browsable netmask.
// Where the process may open no echo socket, the rest of the sweep goes to
// the echo service (CScanServices::StartSweep), which probes only the hosts
// of the network of the interface that owns the local address.
// Returns normally with hosts untouched when there is no such network.
void ScanLocalHosts(InterfaceMaskList& interfaceMasks, HostList& hosts,
                    const CScanCursor& cursor = {},
                    CScanServices& services = SystemScanServices());

// The addresses the scan probes for a local address and its netmask, in
// ascending order: the subnet's own address and its broadcast address
// included. Only the last octet varies, so never more than 256. Empty for a
// netmask that is not browsable.
std::vector<std::uint32_t> SubnetAddresses(std::uint32_t localAddress, std::uint32_t netmask);

// Where the sweep is centred: the first of the computer name's addresses that
// lies on the subnet of a browsable interface (which may be another than the
// first), else fallback (a name that does not resolve, or resolves only to a
// loopback alias or to an address of no local network).
std::uint32_t ChooseLocalAddress(const std::vector<std::uint32_t>& resolved,
                                 const std::vector<CInterfaceAddress>& browsable, std::uint32_t fallback);

// "a.b.c.d" of address bytes in network order.
std::string DottedAddress(std::uint32_t address);
