#include "platform/help/HelpMap.h"

#include <gtest/gtest.h>

#include <fstream>

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

// The files a help call opens, and where it looked when it cannot open.
TEST(HelpMap, FindsReadableTopicsOrSaysWhereItLooked) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "orn-find-help-topic";
    fs::remove_all(dir);
    ASSERT_TRUE(fs::create_directories(dir / "sub"));
    const auto failure = [&](std::optional<unsigned> context) { return FindHelpTopic(dir, context).failure; };
    const auto at = [&](const char* name) { return Utf8PathText(dir / name); };

    EXPECT_EQ(FindHelpTopic(dir / "missing", {}).failure, Utf8PathText(dir / "missing" / "topics.map") + " cannot be read.");
    std::ofstream(dir / "topics.map") << "129 index.html\n";
    EXPECT_EQ(failure(129), at("topics.map") + " names no contents topic.");
    std::ofstream(dir / "topics.map") << "contents index.html\n129 gone.html\n130 ../outside.html\n131 sub\n132 tcp.html";
    std::ofstream(dir / "tcp.html") << "<html></html>";
    EXPECT_EQ(failure(132), at("index.html") + " cannot be read.");   // the contents topic
    std::ofstream(dir / "index.html") << "<html></html>";
    EXPECT_EQ(failure(129), at("gone.html") + " cannot be read.");
    EXPECT_EQ(failure(130), at("topics.map") + " names no topic for help context 130.");
    EXPECT_EQ(failure(131), at("sub") + " cannot be read.");

    const CHelpTopicFiles files = FindHelpTopic(dir, 132);
    EXPECT_EQ(files.failure, "");
    EXPECT_TRUE(files.topic.is_absolute() && fs::equivalent(files.topic, dir / "tcp.html"));
    EXPECT_TRUE(files.contents.is_absolute() && fs::equivalent(files.contents, dir / "index.html"));
    fs::remove_all(dir);
}

}  // namespace
