#include "filters/FilterSet.h"

#include <arpa/inet.h>

#include "tests/platform/registry/RegistryTestSupport.h"

namespace {

std::uint32_t Ip(const char* dotted) { return ::inet_addr(dotted); }

const std::string kHead =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm\\ORN]\r\n";

bool operator==(const CFilterSet& a, const CFilterSet& b)
{
    return a.messages == b.messages && a.fullInfo == b.fullInfo && a.srcAddrs == b.srcAddrs &&
           a.srcPorts == b.srcPorts && a.destAddrs == b.destAddrs && a.destPorts == b.destPorts;
}

CFilterSet Loaded()
{
    CFilterSet set;
    EXPECT_EQ(LoadFilterSet(set), 1);
    return set;
}

class FilterSetStoreTest : public RegistryStoreTest {
protected:
    void WriteOrnKey(const std::string& values) { WriteBytes(file, kHead + values + "\r\n"); }
};

}  // namespace

TEST_F(FilterSetStoreTest, WithoutTheKeyNothingChanges)
{
    CFilterSet set;
    EXPECT_EQ(set.messages, 1);
    EXPECT_EQ(set.fullInfo, 0);
    set.srcAddrs = {Ip("10.0.0.1")};
    set.srcPorts = {80};
    set.fullInfo = 7;
    const CFilterSet before = set;
    EXPECT_EQ(LoadFilterSet(set), 1);
    EXPECT_TRUE(set == before);

    // The parents exist, the filters key does not.
    WriteBytes(file, "Windows Registry Editor Version 5.00\r\n\r\n"
                     "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\tarnwhelm]\r\n\r\n");
    EXPECT_EQ(LoadFilterSet(set), 1);
    EXPECT_TRUE(set == before);
}

TEST_F(FilterSetStoreTest, SaveWritesTheExactLayout)
{
    CFilterSet set;
    set.srcAddrs = {Ip("10.0.0.5"), Ip("10.0.0.7")};
    set.srcPorts = {80, 0};
    set.destAddrs = {Ip("255.255.255.255")};
    set.destPorts = {65535};
    set.fullInfo = 1;
    set.messages = 0;
    EXPECT_EQ(SaveFilterSet(set), 1);
    EXPECT_EQ(ReadBytes(file), kHead +
                                   "\"SrcAddrs\"=hex:0a,00,00,05,0a,00,00,07\r\n"
                                   "\"SrcPorts\"=hex:50,00,00,00\r\n"
                                   "\"DestAddrs\"=hex:ff,ff,ff,ff\r\n"
                                   "\"DestPorts\"=hex:ff,ff\r\n"
                                   "\"FullInfo\"=dword:00000001\r\n"
                                   "\"Messages\"=dword:00000000\r\n\r\n");
    EXPECT_EQ(Get(kOrnKey, "SrcAddrs").first, REG_BINARY);
    EXPECT_EQ(Get(kOrnKey, "Messages").first, REG_DWORD);
}

TEST_F(FilterSetStoreTest, SaveThenLoadGivesTheSameSet)
{
    CFilterSet set;
    set.srcAddrs = {Ip("192.168.0.1"), Ip("10.1.2.3"), Ip("192.168.0.1"), Ip("0.0.0.0")};
    set.srcPorts = {443, 1, 443, 65535};  // a duplicate entry is kept as it is
    set.destAddrs = {Ip("172.16.254.9")};
    set.destPorts = {0};
    set.fullInfo = 5;
    set.messages = -1;
    SaveFilterSet(set);
    EXPECT_TRUE(Loaded() == set);

    // An empty side removes its values; both flags are still written.
    set.destAddrs.clear();
    set.destPorts.clear();
    set.fullInfo = 0;
    set.messages = 1;
    SaveFilterSet(set);
    EXPECT_EQ(ReadBytes(file).find("Dest"), std::string::npos);
    CFilterSet loaded;
    loaded.fullInfo = loaded.messages = 9;
    loaded.destAddrs = {1};
    loaded.destPorts = {1};
    LoadFilterSet(loaded);
    EXPECT_TRUE(loaded == set);
}

TEST_F(FilterSetStoreTest, PartialEntriesAndMissingValues)
{
    // 6 bytes of addresses and 3 of ports are one entry each.
    WriteOrnKey("\"SrcAddrs\"=hex:0a,00,00,05,0a,00\r\n\"SrcPorts\"=hex:50,00,01\r\n");
    CFilterSet set = Loaded();
    EXPECT_EQ(set.srcAddrs, std::vector<std::uint32_t>{Ip("10.0.0.5")});
    EXPECT_EQ(set.srcPorts, std::vector<std::uint16_t>{80});

    // A key with only FullInfo empties every list and keeps messages.
    WriteOrnKey("\"FullInfo\"=dword:00000001\r\n");
    set.destAddrs = {Ip("10.0.0.9")};
    set.destPorts = {53};
    LoadFilterSet(set);
    EXPECT_TRUE(set.srcAddrs.empty() && set.srcPorts.empty());
    EXPECT_TRUE(set.destAddrs.empty() && set.destPorts.empty());
    EXPECT_EQ(set.fullInfo, 1);
    EXPECT_EQ(set.messages, 1);

    // Empty values are no lists; the value type is not looked at.
    WriteOrnKey("\"SrcAddrs\"=hex:\r\n\"SrcPorts\"=hex:\r\n\"Messages\"=hex:00,00,00,00\r\n");
    set = Loaded();
    EXPECT_TRUE(set.srcAddrs.empty());
    EXPECT_EQ(set.messages, 0);
}

TEST_F(FilterSetStoreTest, OutsideEditsNeverBreakTheSides)
{
    // Three addresses with one port; ports with no address at all.
    WriteOrnKey("\"SrcAddrs\"=hex:0a,00,00,01,0a,00,00,02,0a,00,00,03\r\n"
                "\"SrcPorts\"=hex:16,00\r\n"
                "\"DestPorts\"=hex:35,00,35,00\r\n"
                "\"FullInfo\"=hex:01,00,00,00,00,00,00,00\r\n"  // 8 bytes
                "\"Messages\"=hex(4):00\r\n");                  // 1 byte
    CFilterSet set;
    set.fullInfo = 3;
    set.messages = 4;
    LoadFilterSet(set);
    EXPECT_EQ(set.srcAddrs, std::vector<std::uint32_t>{Ip("10.0.0.1")});
    EXPECT_EQ(set.srcPorts, std::vector<std::uint16_t>{22});
    EXPECT_TRUE(set.destAddrs.empty());
    EXPECT_TRUE(set.destPorts.empty());
    EXPECT_EQ(set.fullInfo, 3) << "a flag was read from a value of the wrong size";
    EXPECT_EQ(set.messages, 4);
}

TEST_F(FilterSetStoreTest, SaveThatCannotWriteStoresNothingAndChangesNothing)
{
    CFilterSet set;
    set.srcAddrs = {Ip("10.0.0.5")};
    set.srcPorts = {80};
    SaveFilterSet(set);
    const std::string before = ReadBytes(file);

    // The same file, now behind a store whose directory may not be written.
    WriteBytes(dir / "plain", "");
    SetRegistryStorePath((dir / "plain" / "registry.reg").string());
    CFilterSet changed = set;
    changed.srcAddrs = {Ip("10.9.9.9")};
    const CFilterSet copy = changed;
    EXPECT_EQ(SaveFilterSet(changed), 1);
    EXPECT_TRUE(changed == copy);
    EXPECT_FALSE(std::filesystem::exists(dir / "plain" / "registry.reg"));
    SetRegistryStorePath(file.string());
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_TRUE(Loaded() == set);
}
