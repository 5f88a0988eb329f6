// The appenders must match the printf conversions they stand in for, byte for
// byte, and must never write past their area.

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decode/TextAppender.h"

namespace {

template <typename Write>
std::string Appended(Write write, std::size_t capacity = 128) {
    std::vector<char> area(capacity + 1, '#');
    CTextAppender text{std::span(area).first(capacity)};
    write(text);
    EXPECT_EQ(area[capacity], '#') << "wrote past the area";
    return std::string(area.data(), text.Length()) + (text.Length() < capacity ? area[text.Length()] : '#');
}

TEST(TextAppender, ConversionsMatchPrintf) {
    std::vector<std::int32_t> values{0, 9, 10, 99, 100, 9999, 65535, 99999, 100000, -1, -10, INT32_MIN, INT32_MAX};
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) values.push_back(static_cast<std::int32_t>(random()));
    for (std::int32_t v : values) {
        const auto u = static_cast<std::uint32_t>(v);
        const IpAddressBytes a{static_cast<std::uint8_t>(u >> 24), static_cast<std::uint8_t>(u >> 16),
                               static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u)};
        char dotted[16], expected[128];
        std::snprintf(dotted, sizeof dotted, "%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
        // LeftAligned(v, 5) stands for "%-05d", which printf runs as "%-5d": the zero flag yields to the minus.
        std::snprintf(expected, sizeof expected, "%d|%-5d|%-10d|%2d|%08X|%08x|%X|%s|%-15s|", v, v, v, v, u, u, u,
                      dotted, dotted);
        const std::string got = Appended([&](CTextAppender& t) {
            t.Decimal(v); t.Literal("|"); t.LeftAligned(v, 5); t.Literal("|"); t.LeftAligned(v, 10); t.Literal("|");
            t.RightAligned(v, 2); t.Literal("|"); t.Hex(u, 8); t.Literal("|"); t.Hex(u, 8, HexDigits::Lower);
            t.Literal("|"); t.Hex(u, 0); t.Literal("|"); t.Dotted(a); t.Literal("|"); t.Dotted(a, 15); t.Literal("|");
            t.Terminate();
        });
        ASSERT_EQ(got, std::string(expected) + '\0');
    }
}

TEST(TextAppender, CutsShortAtTheEndOfItsArea) {
    const std::string full = "Seq Num: -1\t0x0000BEEF 10.0.0.5       |";
    for (std::size_t capacity = 0; capacity <= full.size() + 1; ++capacity) {
        const std::string got = Appended(
            [](CTextAppender& t) {
                t.Field("Seq Num: ", -1); t.Literal("0x"); t.Hex(0xBEEF, 8); t.Literal(" ");
                t.Dotted({10, 0, 0, 5}, 15); t.Literal("|"); t.Terminate();
            },
            capacity);
        // The text is the prefix that fits; the zero follows only when there is room.
        ASSERT_EQ(got, capacity > full.size() ? full + '\0' : full.substr(0, capacity) + '#');
    }
    CTextAppender none{std::span<char>()};  // an empty area may have no storage at all
    none.LeftAligned(7, 5); none.Dotted({1, 2, 3, 4}, 15); none.Terminate();
    EXPECT_EQ(none.Length(), 0u);
}

TEST(TextAppender, FixedFieldsStayTerminated) {
    char field[8];
    WriteDecimalField(field, INT32_MIN);
    EXPECT_STREQ(field, "-214748");
    char name[10];
    WriteTextField(name, "<unknown>");
    EXPECT_STREQ(name, "<unknown>");
    WriteTextField(name, "longer than the field");
    EXPECT_STREQ(name, "longer th");
}

}  // namespace
