#pragma once
// Appends the pieces of decoded text into a caller's fixed area without ever
// writing past it. Each operation reproduces one printf conversion in the C
// locale byte for byte ("%d", "%-05d", "%2d", "0x%08X", "%X", "%-15s"), built
// from small copies rather than a format parser: this runs for every
// captured datagram.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "decode/DatagramReader.h"

enum class HexDigits { Upper, Lower };

class CTextAppender {
public:
    explicit CTextAppender(std::span<char> area) : data_(area.data()), capacity_(area.size()) {}

    std::size_t Length() const { return length_; }
    std::string_view Text() const { return {data_, length_}; }

    // Literal text; the array form lets the copy length be a constant.
    template <std::size_t N>
    void Literal(const char (&text)[N]) {
        Put(text, N - 1);
    }
    void Literal(std::string_view text) { Put(text.data(), text.size()); }
    void Bytes(const void* bytes, std::size_t count) { Put(static_cast<const char*>(bytes), count); }

    // "%d"
    void Decimal(std::int32_t value);
    // "%-Nd" and "%-0Nd" (the minus flag wins over zero: blanks on the right)
    void LeftAligned(std::int32_t value, std::size_t width);
    // "%Nd"
    void RightAligned(std::int32_t value, std::size_t width);
    // "%0NX" / "%0Nx"; a width of 0 is plain "%X" / "%x"
    void Hex(std::uint32_t value, std::size_t width, HexDigits digits = HexDigits::Upper);
    // The dotted form of an address, "%-Ns" when width is given
    void Dotted(const IpAddressBytes& address, std::size_t width = 0);

    // label, "%d" and the closing tab: the most common piece
    void Field(std::string_view label, std::int32_t value) {
        Literal(label);
        Decimal(value);
        Literal("\t");
    }

    // Writes a zero behind the text when there is room for it.
    void Terminate() {
        if (length_ < capacity_) data_[length_] = '\0';
    }

private:
    void Put(const char* text, std::size_t count) {
        const std::size_t room = capacity_ - length_;
        if (count > room) count = room;
        if (count != 0) std::memcpy(data_ + length_, text, count);
        length_ += count;
    }
    void Blanks(std::size_t count);

    char* data_;
    std::size_t capacity_;
    std::size_t length_ = 0;
};

// Writes value in decimal as a terminated text into a fixed field (the
// record's port and length texts), cut short if the field is too small.
void WriteDecimalField(std::span<char> field, std::int32_t value);
// Copies text into a fixed field, terminated, cut short if too long.
void WriteTextField(std::span<char> field, std::string_view text);
