#include "decode/TextAppender.h"

#include <array>

namespace {

constexpr std::array<char, 200> MakeDigitPairs() {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
constexpr std::array<char, 200> kDigitPairs = MakeDigitPairs();

// The decimal text of one address byte, for the dotted form.
struct ByteText {
    char text[3];
    std::uint8_t length;
};
constexpr std::array<ByteText, 256> MakeByteTexts() {
    std::array<ByteText, 256> texts{};
    for (int i = 0; i < 256; ++i) {
        ByteText& t = texts[i];
        if (i >= 100) {
            t = {{static_cast<char>('0' + i / 100), static_cast<char>('0' + i / 10 % 10),
                  static_cast<char>('0' + i % 10)},
                 3};
        } else if (i >= 10) {
            t = {{static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10), 0}, 2};
        } else {
            t = {{static_cast<char>('0' + i), 0, 0}, 1};
        }
    }
    return texts;
}
constexpr std::array<ByteText, 256> kByteTexts = MakeByteTexts();

constexpr std::size_t kNumberRoom = 16;  // "-2147483648" and a little spare

// Formats value ("%d") so that it ends at end; returns where it starts.
char* FormatDecimal(std::int32_t value, char* end) {
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char* p = end;
    while (magnitude >= 100) {
        const std::uint32_t pair = magnitude % 100;
        magnitude /= 100;
        p -= 2;
        std::memcpy(p, kDigitPairs.data() + 2 * pair, 2);
    }
    if (magnitude >= 10) {
        p -= 2;
        std::memcpy(p, kDigitPairs.data() + 2 * magnitude, 2);
    } else {
        *--p = static_cast<char>('0' + magnitude);
    }
    if (value < 0) *--p = '-';
    return p;
}

}  // namespace

void CTextAppender::Blanks(std::size_t count) {
    const std::size_t room = capacity_ - length_;
    if (count > room) count = room;
    if (count == 0) return;  // an empty area may have no storage at all
    std::memset(data_ + length_, ' ', count);
    length_ += count;
}

void CTextAppender::Decimal(std::int32_t value) {
    char buffer[kNumberRoom];
    char* end = buffer + kNumberRoom;
    const char* start = FormatDecimal(value, end);
    Put(start, static_cast<std::size_t>(end - start));
}

void CTextAppender::LeftAligned(std::int32_t value, std::size_t width) {
    const std::size_t before = length_;
    Decimal(value);
    const std::size_t written = length_ - before;
    if (written < width) Blanks(width - written);
}

void CTextAppender::RightAligned(std::int32_t value, std::size_t width) {
    char buffer[kNumberRoom];
    char* end = buffer + kNumberRoom;
    const char* start = FormatDecimal(value, end);
    const std::size_t digits = static_cast<std::size_t>(end - start);
    if (digits < width) Blanks(width - digits);
    Put(start, digits);
}

void CTextAppender::Hex(std::uint32_t value, std::size_t width, HexDigits digits) {
    const char* alphabet = digits == HexDigits::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char buffer[kNumberRoom];
    char* end = buffer + kNumberRoom;
    char* p = end;
    do {
        *--p = alphabet[value & 0xF];
        value >>= 4;
    } while (value != 0);
    if (width > kNumberRoom) width = kNumberRoom;
    while (static_cast<std::size_t>(end - p) < width) *--p = '0';
    Put(p, static_cast<std::size_t>(end - p));
}

void CTextAppender::Dotted(const IpAddressBytes& address, std::size_t width) {
    char buffer[kNumberRoom];
    char* p = buffer;
    for (std::size_t i = 0; i < address.size(); ++i) {
        const ByteText& t = kByteTexts[address[i]];
        std::memcpy(p, t.text, 3);
        p += t.length;
        *p++ = '.';
    }
    const std::size_t count = static_cast<std::size_t>(p - buffer) - 1;  // no dot after the last byte
    Put(buffer, count);
    if (count < width) Blanks(width - count);
}

void WriteDecimalField(std::span<char> field, std::int32_t value) {
    if (field.empty()) return;
    CTextAppender text(field.first(field.size() - 1));
    text.Decimal(value);
    field[text.Length()] = '\0';
}

void WriteTextField(std::span<char> field, std::string_view value) {
    if (field.empty()) return;
    CTextAppender text(field.first(field.size() - 1));
    text.Literal(value);
    field[text.Length()] = '\0';
}
