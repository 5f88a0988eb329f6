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
std::string Appended(Write write, std::size_t capacity = 64) {
    std::vector<char> area(capacity + 1, '#');
    CTextAppender text{std::span(area).first(capacity)};
    write(text);
    EXPECT_EQ(area[capacity], '#') << "wrote past the area";
    return std::string(text.Text());
}

template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

std::vector<std::int32_t> SampleValues() {
    std::vector<std::int32_t> values{0, 1, 9, 10, 99, 100, 999, 1000, 9999, 10000, 65535, 99999, 100000,
                                     -1, -9, -10, -100, -1062731775, INT32_MIN, INT32_MAX, 16777216};
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) values.push_back(static_cast<std::int32_t>(random()));
    return values;
}

TEST(TextAppender, NumbersMatchPrintf) {
    for (std::int32_t v : SampleValues()) {
        const auto u = static_cast<std::uint32_t>(v);
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.Decimal(v); }), Printf("%d", v));
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.LeftAligned(v, 5); }), Printf("%-05d", v));
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.LeftAligned(v, 10); }), Printf("%-10d", v));
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.RightAligned(v, 2); }), Printf("%2d", v));
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.Hex(u, 8); }), Printf("%08X", u));
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.Hex(u, 8, HexDigits::Lower); }), Printf("%08x", u));
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.Hex(u, 0); }), Printf("%X", u));
    }
}

TEST(TextAppender, DottedAddressesMatchPrintf) {
    std::mt19937 random(11);
    std::vector<IpAddressBytes> addresses{{0, 0, 0, 0}, {255, 255, 255, 255}, {10, 0, 0, 5}, {192, 168, 100, 9}};
    for (int i = 0; i < 500; ++i) {
        addresses.push_back({static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                             static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random())});
    }
    for (const IpAddressBytes& a : addresses) {
        const std::string dotted = Printf("%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.Dotted(a); }), dotted);
        ASSERT_EQ(Appended([&](CTextAppender& t) { t.Dotted(a, 15); }), Printf("%-15s", dotted.c_str()));
    }
}

TEST(TextAppender, CutsShortAtTheEndOfItsArea) {
    // Every operation stops exactly where the area ends, keeping the prefix.
    for (std::size_t capacity = 0; capacity <= 45; ++capacity) {
        const std::string full = "Seq Num: -1\t0x0000BEEF 10.0.0.5       |";
        const std::string got = Appended(
            [](CTextAppender& t) {
                t.Field("Seq Num: ", -1);
                t.Literal("0x");
                t.Hex(0xBEEF, 8);
                t.Literal(" ");
                t.Dotted({10, 0, 0, 5}, 15);
                t.Literal("|");
                t.Terminate();
            },
            capacity);
        ASSERT_EQ(got, full.substr(0, capacity));
    }
}

TEST(TextAppender, TerminatesOnlyWhenThereIsRoom) {
    char area[4] = {'#', '#', '#', '#'};
    CTextAppender text{std::span(area).first(3)};
    text.Literal("ab");
    text.Terminate();
    EXPECT_EQ(area[2], '\0');
    text.Literal("cd");
    text.Terminate();
    EXPECT_EQ(std::string(area, 4), "abc#");
    // An empty area may have no storage at all.
    CTextAppender none{std::span<char>()};
    none.LeftAligned(7, 5);
    none.Dotted({1, 2, 3, 4}, 15);
    none.Terminate();
    EXPECT_EQ(none.Length(), 0u);
}

TEST(TextAppender, FixedFieldsStayTerminated) {
    char field[8];
    WriteDecimalField(field, 65535);
    EXPECT_STREQ(field, "65535");
    WriteDecimalField(field, INT32_MIN);  // cut to seven characters and its terminator
    EXPECT_STREQ(field, "-214748");
    char name[10];
    WriteTextField(name, "<unknown>");
    EXPECT_STREQ(name, "<unknown>");
    WriteTextField(name, "longer than the field");
    EXPECT_STREQ(name, "longer th");
}

}  // namespace
