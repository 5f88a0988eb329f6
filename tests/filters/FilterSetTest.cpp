#include "filters/FilterSet.h"

#include <arpa/inet.h>

#include "tests/platform/registry/RegistryTestSupport.h"

namespace {

std::uint32_t Ip(const char* dotted) { return ::inet_addr(dotted); }

const std::string kHead =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN]\r\n";

bool operator==(const CFilterSet& a, const CFilterSet& b) {
    return a.messages == b.messages && a.fullInfo == b.fullInfo && a.srcAddrs == b.srcAddrs &&
           a.srcPorts == b.srcPorts && a.destAddrs == b.destAddrs && a.destPorts == b.destPorts;
}

// A set with something on every side, to see what a load replaces.
CFilterSet Stale() {
    CFilterSet set;
    set.srcAddrs = set.destAddrs = {Ip("10.0.0.9")};
    set.srcPorts = set.destPorts = {53};
    set.fullInfo = 3, set.messages = 4;
    return set;
}

using FilterSetStoreTest = RegistryStoreTest;

TEST_F(FilterSetStoreTest, SaveWritesTheExactLayoutAndLoadGivesTheSameSet) {
    CFilterSet set;
    set.srcAddrs = {Ip("10.0.0.5"), Ip("10.0.0.7"), Ip("10.0.0.5"), Ip("255.255.255.255")};
    set.srcPorts = {80, 0, 80, 65535};  // a duplicate entry is kept as it is
    for (int i = 1; i <= 21; ++i) {
        set.destAddrs.push_back(Ip(("192.168.1." + std::to_string(i)).c_str()));
        set.destPorts.push_back(static_cast<std::uint16_t>(1000 * i));
    }
    set.fullInfo = 1, set.messages = -1;
    EXPECT_EQ(SaveFilterSet(set), 1);
    EXPECT_EQ(ReadBytes(file), Golden("filter-set.reg"));
    CFilterSet loaded = Stale();
    EXPECT_EQ(LoadFilterSet(loaded), 1);
    EXPECT_TRUE(loaded == set);

    // An empty side removes its values; both flags are still written.
    set.destAddrs.clear(), set.destPorts.clear();
    set.fullInfo = 0, set.messages = 1;
    SaveFilterSet(set);
    EXPECT_EQ(ReadBytes(file).find("Dest"), std::string::npos);
    loaded = Stale();
    LoadFilterSet(loaded);
    EXPECT_TRUE(loaded == set);
}

TEST_F(FilterSetStoreTest, LoadKeepsOnlyWholeEntriesAndFlagsOfFourBytes) {
    auto set = [](std::vector<std::uint32_t> srcAddrs, std::vector<std::uint16_t> srcPorts, std::int32_t fullInfo,
                  std::int32_t messages) {
        CFilterSet s;
        s.srcAddrs = std::move(srcAddrs), s.srcPorts = std::move(srcPorts);
        s.fullInfo = fullInfo, s.messages = messages;
        return s;
    };
    const std::pair<const char*, CFilterSet> cases[] = {
        // No key, or parents without it: nothing changes.
        {nullptr, Stale()},
        {"", Stale()},
        // 6 bytes of addresses and 3 of ports are one entry each.
        {"\"SrcAddrs\"=hex:0a,00,00,05,0a,00\r\n\"SrcPorts\"=hex:50,00,01\r\n", set({Ip("10.0.0.5")}, {80}, 3, 4)},
        // A key with only FullInfo empties every list and keeps messages.
        {"\"FullInfo\"=dword:00000001\r\n", set({}, {}, 1, 4)},
        // Empty values are no lists; the value type is not looked at.
        {"\"SrcAddrs\"=hex:\r\n\"SrcPorts\"=hex:\r\n\"Messages\"=hex:00,00,00,00\r\n", set({}, {}, 3, 0)},
        // Three addresses with one port, ports without any address, flags of 8 and 1 bytes.
        {"\"SrcAddrs\"=hex:0a,00,00,01,0a,00,00,02,0a,00,00,03\r\n\"SrcPorts\"=hex:16,00\r\n"
         "\"DestPorts\"=hex:35,00,35,00\r\n\"FullInfo\"=hex:01,00,00,00,00,00,00,00\r\n\"Messages\"=hex(4):00\r\n",
         set({Ip("10.0.0.1")}, {22}, 3, 4)},
    };
    for (const auto& [values, expected] : cases) {
        if (!values)
            std::filesystem::remove(file);
        else if (!*values)
            WriteBytes(file, kHead.substr(0, kHead.rfind("\r\n[") + 2));
        else
            WriteBytes(file, kHead + values + "\r\n");
        CFilterSet loaded = Stale();
        EXPECT_EQ(LoadFilterSet(loaded), 1);
        EXPECT_TRUE(loaded == expected) << (values ? values : "no file");
    }
}

}  // namespace
