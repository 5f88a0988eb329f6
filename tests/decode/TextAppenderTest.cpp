// The appenders must match the printf conversions they stand in for, byte for
// byte, for any value (the golden suite holds the values decoders print); the
// decoder's test cuts them at every length of its area.

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

}  // namespace
