#pragma once
// The scan as the host browser holds it: the real sweep by default, a test
// double in tests of the browser.

#include <functional>

#include "discovery/HostEntry.h"
#include "discovery/LocalHostScan.h"

using HostScanFunction =
    std::function<void(InterfaceMaskList& interfaceMasks, HostList& hosts, const CScanCursor& cursor)>;

// Runs ScanLocalHosts on this host's own interfaces.
inline HostScanFunction LocalHostScan()
{
    return [](InterfaceMaskList& interfaceMasks, HostList& hosts, const CScanCursor& cursor) {
        ScanLocalHosts(interfaceMasks, hosts, cursor);
    };
}
