#pragma once
// Which local networks are small enough for the host scan to sweep.

#include <cstdint>
#include <span>
#include <vector>

#include "discovery/HostEntry.h"
#include "discovery/ScanServices.h"

// The netmask (address bytes in network order) read as a little-endian 32-bit
// number is at least 0x00FFFFFF: 255.255.255.0 and every narrower mask, never
// the loopback's 255.0.0.0 or 255.255.0.0.
bool IsBrowsableNetmask(std::uint32_t netmask);

// The entries the scan may sweep, in order: up, with a browsable netmask.
std::vector<CInterfaceAddress> BrowsableInterfaces(const std::vector<CInterfaceAddress>& entries);

// Appends the browsable netmasks of the interfaces that are up, in the order
// the interface list gives them. Returns 1 when the list was read, else 0.
int GetInterfaceMasks(InterfaceMaskList& interfaceMasks,
                      CScanServices& services = SystemScanServices());

// Whether the scan has a network to sweep: decides the Browse button.
bool HasBrowsableInterface(std::span<const std::uint32_t> netmasks);
bool HasBrowsableInterface(CScanServices& services = SystemScanServices());
