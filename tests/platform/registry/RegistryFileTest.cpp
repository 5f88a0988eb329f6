#include "platform/registry/RegistryFile.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>

using namespace orn::registry;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

const std::string kCanonical =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n"
    "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19,1a,1b,1c,1d,1e,1f,20\r\n"
    "\"Flag\"=dword:0000002a\r\n"
    "\"Name\"=\"C:\\\\dir \\\"x\\\"\"\r\n"
    "@=hex(7):61,00,00\r\n\r\n";

}  // namespace

TEST(RegistryText, WritesLinesAsRegeditDoes) {
    CRegTree tree;
    CRegKey& key = tree.top.Obtain("HKEY_LOCAL_MACHINE").Obtain("SOFTWARE").Obtain("T");
    std::vector<std::uint8_t> sixty(60);
    std::iota(sixty.begin(), sixty.end(), 0);
    key.SetValue("Ipv6", 3, sixty, false);
    key.SetValue("Q", 11, {1, 0, 0, 0, 0, 0, 0, 0}, false);
    key.SetValue("None", 0, {}, false);
    key.SetValue("Short", 4, {1, 2}, false);
    key.SetValue("Lines", 1, Bytes(std::string_view("a\nb\0", 4)), true);
    key.SetValue("Big", 0xabcd0001, {0xff}, false);
    CRegKey& empty = tree.top.Obtain("HKEY_LOCAL_MACHINE").Obtain("SOFTWARE").Obtain("a");
    empty.listed = true;
    EXPECT_EQ(FormatRegistryText(tree),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\a]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n"
              "\"Ipv6\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
              "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
              "  2f,30,31,32,33,34,35,36,37,38,39,3a,3b\r\n"
              "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
              "\"None\"=hex(0):\r\n"
              "\"Short\"=hex(4):01,02\r\n"
              "\"Lines\"=hex(1):61,0a,62,00\r\n"
              "\"Big\"=hex(abcd0001):ff\r\n\r\n");
}

TEST(RegistryText, ReadsEveryFormItIsFoundIn) {
    const std::string lf =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n"
        "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
        "    16,17,18,19,1a,1b,1c,1d,1e,1f,20\n"
        "\"Flag\" = DWORD:0000002A\n"
        "\"Name\"=\"C:\\\\dir \\\"x\\\"\"\n"
        "@=hex(7):61,00,00";  // no final line end
    const std::string unwrapped =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n"
        "\"Long\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,"
        "19,1a,1b,1c,1d,1e,1f,20\r\n"
        "\"Flag\"=dword:0000002a\r\n\"Name\"=\"C:\\\\dir \\\"x\\\"\"\r\n@=hex(7):61,00,00\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : kCanonical) {
        utf16 += c;
        utf16 += '\0';
    }
    for (const std::string& form : {kCanonical, "\xEF\xBB\xBF" + kCanonical, lf, unwrapped, utf16}) {
        const CRegTree tree = ParseRegistryText(form);
        EXPECT_EQ(tree.damagedLines, 0u);
        EXPECT_EQ(FormatRegistryText(tree), kCanonical);
    }
}

TEST(RegistryText, DeletionsAndBrokenWrapsDoNotLeakIntoOtherKeys) {
    const CRegTree tree = ParseRegistryText(
        "[HKEY_LOCAL_MACHINE\\A]\n\"Keep\"=hex:01\n\"Drop\"=hex:02\n\"drop\"=-\n"
        "[HKEY_LOCAL_MACHINE\\A\\Sub]\n"
        "[-HKEY_LOCAL_MACHINE\\A\\Sub]\n\"Orphan\"=hex:03\n"
        "[HKEY_LOCAL_MACHINE\\A]\n\"Cut\"=hex:01,\\\n"
        "[HKEY_LOCAL_MACHINE\\B]\n\"Next\"=hex:04\n");
    EXPECT_EQ(tree.damagedLines, 2u);  // the orphan and the cut value
    EXPECT_EQ(FormatRegistryText(tree),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\A]\r\n\"Keep\"=hex:01\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\B]\r\n\"Next\"=hex:04\r\n\r\n");
}

TEST(RegistryText, AnyDamageReadsToAFileThatReadsBackCleanly) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text = kCanonical + "; note\r\n[HKEY_CURRENT_USER\\X\\Y]\r\n\"Z\"=\"t\"\r\n";
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % text.size();
            switch (random() % 3) {
            case 0: text[at] = static_cast<char>(random()); break;
            case 1: text.insert(at, 1, "\\\"[]@=,;\r\n-x0"[random() % 13]); break;
            default: text.resize(at); break;
            }
            if (text.empty()) text = "\xFF\xFE";
        }
        const std::string once = FormatRegistryText(ParseRegistryText(text));
        const CRegTree again = ParseRegistryText(once);
        ASSERT_EQ(again.damagedLines, 0u) << "from:\n" << text << "\nwritten:\n" << once;
        ASSERT_EQ(FormatRegistryText(again), once) << "from:\n" << text;
    }
}
