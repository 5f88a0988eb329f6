#include "filters/FilterSet.h"

#include <algorithm>
#include <cstring>

#include "platform/registry/Registry.h"

namespace {

constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
constexpr const char* kFiltersKey = "SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN";
// KEY_READ with KEY_SET_VALUE and KEY_CREATE_SUB_KEY.
constexpr std::uint32_t kFiltersAccess = 0x2001F;
// The capture interface's value under the filters key; the set never reads it.
constexpr const char* kInterfaceValue = "Interface";
constexpr std::uint32_t kInterfaceValueMax = 256;
constexpr const char* kDisplayFilterValue = "DisplayFilter";
constexpr std::uint32_t kDisplayFilterValueMax = 8192;

using Block = std::vector<std::uint8_t>;

// A list value: its size first, then exactly that many bytes. A missing or
// empty value, or one that changed between the two calls, gives no block.
Block QueryBlock(HKEY key, const char* name)
{
    std::uint32_t size = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    Block block(size);
    if (RegQueryValueExA(key, name, nullptr, nullptr, block.data(), &size) != ERROR_SUCCESS)
        return {};
    block.resize(size);
    return block;
}

// A flag is read only from a value of exactly its 4 bytes; a value of any
// other size (an outside edit) leaves the flag as it was.
void QueryFlag(HKEY key, const char* name, std::int32_t& flag)
{
    std::uint32_t size = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS || size != 4)
        return;
    std::uint8_t bytes[4];
    if (RegQueryValueExA(key, name, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS || size != 4)
        return;
    flag = static_cast<std::int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                     static_cast<std::uint32_t>(bytes[3]) << 24);
}

// Addresses travel in memory order: their bytes are already in network order.
void AppendAddresses(std::vector<std::uint32_t>& list, const Block& block)
{
    for (std::size_t i = 0; i + 4 <= block.size(); i += 4) {
        std::uint32_t address;
        std::memcpy(&address, block.data() + i, 4);
        list.push_back(address);
    }
}

void AppendPorts(std::vector<std::uint16_t>& list, const Block& block)
{
    for (std::size_t i = 0; i + 2 <= block.size(); i += 2)
        list.push_back(static_cast<std::uint16_t>(block[i] | block[i + 1] << 8));
}

// Only an outside edit gives a side more addresses than ports or the reverse.
// Entry i pairs address i with port i, so the entries past the shorter list
// have no partner: they are dropped and the side stays indexable.
template <typename Address, typename Port>
void KeepPairs(std::vector<Address>& addresses, std::vector<Port>& ports)
{
    const std::size_t pairs = std::min(addresses.size(), ports.size());
    addresses.resize(pairs);
    ports.resize(pairs);
}

Block AddressBlock(const std::vector<std::uint32_t>& list)
{
    Block block(4 * list.size());
    if (!list.empty())
        std::memcpy(block.data(), list.data(), block.size());
    return block;
}

Block PortBlock(const std::vector<std::uint16_t>& list)
{
    Block block;
    block.reserve(2 * list.size());
    for (std::uint16_t port : list) {
        block.push_back(static_cast<std::uint8_t>(port));
        block.push_back(static_cast<std::uint8_t>(port >> 8));
    }
    return block;
}

// A list with entries is written as it is; an empty one has no value at all.
void WriteBlock(HKEY key, const char* name, const Block& block)
{
    if (!block.empty())
        RegSetValueExA(key, name, 0, REG_BINARY, block.data(),
                       static_cast<std::uint32_t>(block.size()));
    else
        RegDeleteValueA(key, name);
}

void WriteFlag(HKEY key, const char* name, std::int32_t flag)
{
    const auto bits = static_cast<std::uint32_t>(flag);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                   static_cast<std::uint8_t>(bits >> 16),
                                   static_cast<std::uint8_t>(bits >> 24)};
    RegSetValueExA(key, name, 0, REG_DWORD, bytes, sizeof bytes);
}

// Opens the filters key with the given access and, when it opened, replaces
// the lists and the flags that are stored. The result of the open.
std::int32_t LoadFromKey(CFilterSet& set, std::uint32_t access)
{
    HKEY key{};
    if (const std::int32_t result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFiltersKey, 0, access, &key))
        return result;

    const Block srcAddrs = QueryBlock(key, "SrcAddrs");
    const Block srcPorts = QueryBlock(key, "SrcPorts");
    const Block destAddrs = QueryBlock(key, "DestAddrs");
    const Block destPorts = QueryBlock(key, "DestPorts");

    QueryFlag(key, "FullInfo", set.fullInfo);
    QueryFlag(key, "Messages", set.messages);

    set.srcAddrs.clear();
    set.srcPorts.clear();
    set.destAddrs.clear();
    set.destPorts.clear();

    AppendAddresses(set.srcAddrs, srcAddrs);
    AppendPorts(set.srcPorts, srcPorts);
    AppendAddresses(set.destAddrs, destAddrs);
    AppendPorts(set.destPorts, destPorts);
    KeepPairs(set.srcAddrs, set.srcPorts);
    KeepPairs(set.destAddrs, set.destPorts);

    RegCloseKey(key);
    return ERROR_SUCCESS;
}

}  // namespace

int LoadFilterSet(CFilterSet& set)
{
    LoadFromKey(set, kFiltersAccess);
    return 1;
}

std::int32_t ReadFilterSet(CFilterSet& set)
{
    return LoadFromKey(set, KEY_READ);
}

int SaveFilterSet(const CFilterSet& set)
{
    const Block srcAddrs = AddressBlock(set.srcAddrs);
    const Block destAddrs = AddressBlock(set.destAddrs);
    const Block srcPorts = PortBlock(set.srcPorts);
    const Block destPorts = PortBlock(set.destPorts);

    HKEY services{};
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServicesKey, 0, kFiltersAccess, &services) != ERROR_SUCCESS)
        return 1;
    HKEY tarnwhelm{};
    if (RegCreateKeyExA(services, "tarnwhelm", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &tarnwhelm, nullptr) == ERROR_SUCCESS) {
        HKEY orn{};
        if (RegCreateKeyExA(tarnwhelm, "ORN", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &orn, nullptr) == ERROR_SUCCESS) {
            WriteBlock(orn, "SrcAddrs", srcAddrs);
            WriteBlock(orn, "SrcPorts", srcPorts);
            WriteBlock(orn, "DestAddrs", destAddrs);
            WriteBlock(orn, "DestPorts", destPorts);
            WriteFlag(orn, "FullInfo", set.fullInfo);
            WriteFlag(orn, "Messages", set.messages);
            RegCloseKey(orn);
        }
        RegCloseKey(tarnwhelm);
    }
    RegCloseKey(services);
    return 1;
}

namespace {

// A string value under the filters key that the set never reads.
std::string LoadStringValue(const char* valueName, std::size_t max)
{
    HKEY key{};
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFiltersKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    std::vector<std::uint8_t> bytes(max);
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    std::string text;
    if (RegQueryValueExA(key, valueName, nullptr, nullptr, bytes.data(), &size) == ERROR_SUCCESS)
        text.assign(reinterpret_cast<const char*>(bytes.data()), std::min<std::size_t>(size, bytes.size()));
    RegCloseKey(key);
    // A string value keeps its terminating zero.
    text.resize(std::strlen(text.c_str()));
    return text;
}

void SaveStringValue(const char* valueName, const std::string& text)
{
    HKEY key{};
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFiltersKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (text.empty())
        RegDeleteValueA(key, valueName);
    else
        RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const std::uint8_t*>(text.c_str()),
                       static_cast<std::uint32_t>(text.size() + 1));
    RegCloseKey(key);
}

}  // namespace

std::string LoadCaptureInterface() { return LoadStringValue(kInterfaceValue, kInterfaceValueMax); }

void SaveCaptureInterface(const std::string& name) { SaveStringValue(kInterfaceValue, name); }

std::string LoadDisplayFilter() { return LoadStringValue(kDisplayFilterValue, kDisplayFilterValueMax); }

void SaveDisplayFilter(const std::string& expression) { SaveStringValue(kDisplayFilterValue, expression); }

std::optional<std::uint32_t> ParseDottedAddress(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    std::uint32_t parts[4];
    std::size_t count = 0;
    std::size_t at = 0;
    for (;;) {
        if (count == 4 || at >= text.size() || text[at] < '0' || text[at] > '9') return std::nullopt;
        unsigned base = 10;
        if (text[at] == '0') {
            base = 8;
            if (at + 1 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X')) base = 16, at += 2;
        }
        std::uint64_t value = 0;
        std::size_t digits = 0;
        for (; at < text.size() && text[at] != '.'; ++at, ++digits) {
            const char c = text[at];
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (base == 16 && ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'))
                digit = unsigned((c | 0x20) - 'a' + 10);
            else
                return std::nullopt;
            if (digit >= base) return std::nullopt;
            value = value * base + digit;
            if (value > 0xFFFFFFFFu) return std::nullopt;
        }
        if (base == 16 && digits == 0) return std::nullopt;  // "0x" alone
        parts[count++] = static_cast<std::uint32_t>(value);
        if (at == text.size()) break;
        ++at;  // the dot
    }
    // Every part but the last is one byte; the last fills the rest.
    std::uint32_t host = 0;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > 0xFF) return std::nullopt;
        host |= parts[i] << (24 - 8 * i);
    }
    const std::uint32_t last = parts[count - 1];
    if (count > 1 && last > (0xFFFFFFFFu >> (8 * (count - 1)))) return std::nullopt;
    host |= last;
    const std::uint8_t bytes[4] = {std::uint8_t(host >> 24), std::uint8_t(host >> 16), std::uint8_t(host >> 8),
                                   std::uint8_t(host)};
    std::uint32_t address;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}
