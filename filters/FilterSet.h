#pragma once
// The user's include lists and the two reporting options.

#include <cstdint>
#include <string>
#include <vector>

struct CFilterSet {
    std::int32_t messages = 1;  // keep and log the bytes behind the headers
    std::int32_t fullInfo = 0;  // print every header field
    std::vector<std::uint32_t> srcAddrs;   // address bytes in network order
    std::vector<std::uint32_t> destAddrs;
    std::vector<std::uint16_t> srcPorts;   // host order, 0 = any port
    std::vector<std::uint16_t> destPorts;
};

// Both operate on the filters key of the registry store and always return 1.
int LoadFilterSet(CFilterSet& set);
int SaveFilterSet(const CFilterSet& set);

// LoadFilterSet for a reader that never writes the store (orn-decode): the key
// is opened for reading only, so a user who may read the store but not write
// it gets the stored set. Returns the open's result: ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND when no set is stored, or why the store could not be
// read (the set is then left as it was).
std::int32_t ReadFilterSet(CFilterSet& set);

// The interface that capture runs use, kept under the filters key as a
// string value of its own ("Interface") that the set never reads. Empty
// (nothing stored, or the store unreadable): the first interface that is up
// and owns an IPv4 address. Saving empty removes the value; failures are
// silent, as the set's own.
std::string LoadCaptureInterface();
void SaveCaptureInterface(const std::string& name);

// The main window's display filter (tcpdump's language), kept beside the
// interface as the value "DisplayFilter"; empty: none.
std::string LoadDisplayFilter();
void SaveDisplayFilter(const std::string& expression);
