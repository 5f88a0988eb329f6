#include "platform/help/HelpMap.h"

#include <gtest/gtest.h>

namespace {

TEST(HelpMap, ReadsContentsAndContexts) {
    const CHelpMap map = ParseHelpMap(
        "# the map\n"
        "contents index.html\n"
        "\n"
        "129\tfilters.html\r\n"
        "   10028    tcp.html   \n"
        "4294967295 last.html");
    EXPECT_TRUE(map.problems.empty());
    EXPECT_EQ(map.contents, "index.html");
    EXPECT_EQ(map.topics, (std::map<unsigned, std::string>{
                              {129, "filters.html"}, {10028, "tcp.html"}, {4294967295u, "last.html"}}));
    ASSERT_TRUE(map.Topic(10028));
    EXPECT_EQ(*map.Topic(10028), "tcp.html");
    EXPECT_EQ(map.Topic(130), nullptr);
}

TEST(HelpMap, SkipsWhatItCannotTakeAndSaysWhere) {
    const CHelpMap map = ParseHelpMap(
        "contents index.html\n"          // 1
        "129 filters.html\n"             // 2
        "129 other.html\n"               // 3: second entry of a context
        "130\n"                          // 4: no topic
        "131 two words.html\n"           // 5
        "-1 minus.html\n"                // 6
        "12x twelve.html\n"              // 7
        "4294967296 big.html\n"          // 8: beyond 32 bits
        "132 ../secret.html\n"           // 9
        "133 /etc/passwd\n"              // 10
        "134 .hidden.html\n"             // 11
        "135 sub\\dir.html\n"            // 12
        "contents second.html\n"         // 13
        "136 ok.html\n");
    ASSERT_EQ(map.problems.size(), 11u);
    for (int line = 3; line <= 13; ++line) {
        EXPECT_EQ(map.problems[static_cast<std::size_t>(line - 3)].rfind("line " + std::to_string(line) + ":", 0), 0u)
            << map.problems[static_cast<std::size_t>(line - 3)];
    }
    EXPECT_EQ(map.contents, "index.html");
    EXPECT_EQ(map.topics, (std::map<unsigned, std::string>{{129, "filters.html"}, {136, "ok.html"}}));
}

TEST(HelpMap, EmptyOrGarbageTextHasNoContents) {
    EXPECT_FALSE(ParseHelpMap("").contents);
    const CHelpMap garbage = ParseHelpMap(std::string_view("\x01\x02\xff\n\0zz", 7));
    EXPECT_FALSE(garbage.contents);
    EXPECT_TRUE(garbage.topics.empty());
    EXPECT_EQ(garbage.problems.size(), 2u);
}

TEST(HelpMap, TopicNamesStayInsideTheHelpDirectory) {
    for (const char* name : {"index.html", "tcp.html", "filter-entry.html", "a..b.html"}) {
        EXPECT_TRUE(IsPlainTopicName(name)) << name;
    }
    for (const char* name : {"", ".", "..", "../x.html", "a/b.html", "/abs.html", "a\\b.html", ".x.html",
                             "tab\there.html"}) {
        EXPECT_FALSE(IsPlainTopicName(name)) << name;
    }
}

}  // namespace
