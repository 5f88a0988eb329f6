#pragma once
// Name look-ups through the system resolver. A look-up that fails or that the
// resolver gives up on yields an empty result.

#include <cstdint>
#include <string>
#include <vector>

// This host's name (gethostname).
std::string ComputerName();
// The IPv4 addresses of a name, in the resolver's order, each once; address
// bytes in network order.
std::vector<std::uint32_t> ResolveHostAddresses(const std::string& name);
// The official name of an address (address bytes in network order).
std::string ReverseLookupName(std::uint32_t address);
