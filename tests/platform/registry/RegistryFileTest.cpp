#include "platform/registry/RegistryFile.h"

#include <numeric>
#include <random>

#include "tests/platform/registry/RegistryTestSupport.h"

using namespace orn::registry;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

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
    tree.top.Obtain("HKEY_LOCAL_MACHINE").Obtain("SOFTWARE").Obtain("a").listed = true;
    EXPECT_EQ(FormatRegistryText(tree), Golden("formats.reg"));
}

// LF line ends, blanks around "=" and capitals, REGEDIT4 unwrapped, UTF-16
// and a UTF-8 byte order mark: each reads to the same values.
TEST(RegistryText, ReadsEveryFormItIsFoundIn) {
    for (const char* form : {"canonical.reg", "form-lf.reg", "form-regedit4.reg", "form-utf16.reg", "form-bom.reg"}) {
        const CRegTree tree = ParseRegistryText(Golden(form));
        EXPECT_EQ(tree.damagedLines, 0u) << form;
        EXPECT_EQ(FormatRegistryText(tree), Golden("canonical.reg")) << form;
    }
}

// A value deleted, a key deleted with a value behind it, a wrapped value cut
// by the next section: nothing of them reaches the keys around them.
TEST(RegistryText, DeletionsAndBrokenWrapsDoNotLeakIntoOtherKeys) {
    const CRegTree tree = ParseRegistryText(Golden("deletions.reg"));
    EXPECT_EQ(tree.damagedLines, 2u);  // the orphan and the cut value
    EXPECT_EQ(FormatRegistryText(tree), Golden("deletions-read.reg"));
}

TEST(RegistryText, AnyDamageReadsToAFileThatReadsBackCleanly) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text = Golden("canonical.reg") + "; note\r\n[HKEY_CURRENT_USER\\X\\Y]\r\n\"Z\"=\"t\"\r\n";
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

TEST(RegistryText, FileCutAnywhereGivesWholeValuesOrDamage) {
    const std::string whole = Golden("filter-set.reg");
    CRegTree full = ParseRegistryText(whole);
    CRegKey* orn = &full.top;
    for (const char* name : {"HKEY_LOCAL_MACHINE", "SYSTEM", "CurrentControlSet", "Services", "tarnwhelm", "ORN"})
        orn = orn->Find(name);
    ASSERT_TRUE(orn && orn->values.size() == 6 && full.damagedLines == 0);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        CRegTree tree = ParseRegistryText(whole.substr(0, cut));
        if (tree.damagedLines > 0) continue;
        ASSERT_TRUE(cut == 0 || whole[cut - 1] == '\n') << "a cut inside a line went unnoticed at " << cut;
        CRegKey* key = &tree.top;
        for (const char* name : {"HKEY_LOCAL_MACHINE", "SYSTEM", "CurrentControlSet", "Services", "tarnwhelm", "ORN"})
            key = key ? key->Find(name) : nullptr;
        for (const CRegValue& value : key ? key->values : std::list<CRegValue>{})
            ASSERT_EQ(value.data, orn->FindValue(value.name)->data) << value.name << " cut at " << cut;
    }
}

TEST(RegistryText, LimitsTurnHostileTextIntoDamageOrRefusal) {
    auto repeat = [](std::string_view piece, std::size_t times) {
        std::string s;
        for (std::size_t i = 0; i < times; ++i) s += piece;
        return s;
    };
    auto values = [](std::size_t count) {
        std::string s = "[HKEY_LOCAL_MACHINE\\K]\n";  // the two keys count too
        for (std::size_t i = 2; i < count; ++i) s += "\"v" + std::to_string(i) + "\"=hex:\n";
        return s;
    };
    const struct {
        const char* what;
        std::string text;
        std::size_t damagedLines;
        bool refused;
    } cases[] = {
        {"512 levels", "[HKEY_LOCAL_MACHINE" + repeat("\\a", 511) + "]\n", 0, false},
        {"513 levels", "[HKEY_LOCAL_MACHINE" + repeat("\\a", 512) + "]\n\"Orphan\"=hex:01\n", 2, false},
        {"1,000,000 levels", "[HKEY_LOCAL_MACHINE" + repeat("\\a", 1000000) + "]\n", 1, false},
        {"key names of 255 and 256", "[HKEY_LOCAL_MACHINE\\" + std::string(255, 'k') + "]\n[HKEY_LOCAL_MACHINE\\" +
                                         std::string(256, 'k') + "]\n", 1, false},
        {"value names of 16383 and 16384", "[HKEY_LOCAL_MACHINE\\K]\n\"" + std::string(16383, 'v') + "\"=hex:\n\"" +
                                               std::string(16384, 'v') + "\"=hex:\n", 1, false},
        {"a mebibyte of comments and more", repeat(";" + std::string(1021, 'c') + "\r\n", 1025) + "[HKEY_LOCAL_MACHINE\\K]\n",
         1, false},
        {"more keys and values than a store holds", values(200001), 0, true},
        {"a last line without its end", "[HKEY_LOCAL_MACHINE\\K]\n\"Flag\"=dword:00000001", 1, false},
    };
    for (const auto& c : cases) {
        const CRegTree tree = ParseRegistryText(c.text);
        EXPECT_EQ(tree.damagedLines, c.damagedLines) << c.what;
        EXPECT_EQ(tree.refused, c.refused) << c.what;
        EXPECT_TRUE(!c.refused || tree.top.subKeys.empty()) << c.what;
    }
}

TEST(RegistryText, DeepTreeIsReleasedWithoutRecursion) {
    auto tree = std::make_unique<CRegTree>();
    CRegKey* key = &tree->top;
    for (int i = 0; i < 1000000; ++i) key = &key->Obtain("a");
    tree.reset();  // a recursive release would overflow the stack here
}
