#pragma once
// The user's include lists and the two reporting options.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

// A typed IPv4 address in the forms inet_aton reads: one to four numbers
// joined by dots, each decimal, octal (leading 0) or hex (0x), the last
// filling the bytes left (10.1 is 10.0.0.1); blanks around it are ignored.
// The address bytes in network order, as inet_addr gives them; nothing for
// text that is no address (10.79.0.300), where inet_addr would give
// 255.255.255.255 without a word.
std::optional<std::uint32_t> ParseDottedAddress(std::string_view text);

// The main window's display filter (tcpdump's language), kept beside the
// interface as the value "DisplayFilter"; empty: none.
std::string LoadDisplayFilter();
void SaveDisplayFilter(const std::string& expression);
