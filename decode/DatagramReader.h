#pragma once
// Bounded reads over one received datagram. Every byte at or beyond the
// received length (or the end of the buffer, whichever comes first) reads as
// zero, so decoders take fixed fields at fixed offsets without length checks
// of their own and the receive buffer never needs zero-filling.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

using IpAddressBytes = std::array<std::uint8_t, 4>;  // network order

class CDatagramReader {
public:
    CDatagramReader(std::span<const std::uint8_t> buffer, std::uint32_t receivedLength)
        : base_(buffer.data()), size_(std::min<std::size_t>(buffer.size(), receivedLength)) {}

    // The same datagram seen from start onwards (the offset of a decoder's header).
    CDatagramReader From(std::size_t start) const {
        CDatagramReader inner(*this);
        if (start >= size_) {
            inner.size_ = 0;
        } else {
            inner.base_ += start;
            inner.size_ -= start;
        }
        return inner;
    }

    // Bytes readable from the reader's start.
    std::size_t Size() const { return size_; }

    std::uint8_t U8(std::size_t offset) const { return offset < size_ ? base_[offset] : 0; }

    // Network order.
    std::uint16_t U16(std::size_t offset) const {
        if (Holds(offset, 2)) {
            return static_cast<std::uint16_t>(base_[offset] << 8 | base_[offset + 1]);
        }
        return static_cast<std::uint16_t>(U8(offset) << 8 | U8(offset + 1));
    }

    // Network order.
    std::uint32_t U32(std::size_t offset) const {
        return static_cast<std::uint32_t>(U16(offset)) << 16 | U16(offset + 2);
    }

    // A 32-bit field shown with "%d": the same bits taken as signed.
    std::int32_t S32(std::size_t offset) const { return static_cast<std::int32_t>(U32(offset)); }

    // Four bytes taken as a little-endian number (fields that are not
    // converted from network order).
    std::uint32_t U32LittleEndian(std::size_t offset) const {
        return static_cast<std::uint32_t>(U8(offset)) | static_cast<std::uint32_t>(U8(offset + 1)) << 8 |
               static_cast<std::uint32_t>(U8(offset + 2)) << 16 |
               static_cast<std::uint32_t>(U8(offset + 3)) << 24;
    }

    IpAddressBytes Address(std::size_t offset) const {
        return {U8(offset), U8(offset + 1), U8(offset + 2), U8(offset + 3)};
    }

    // The address bytes as one 32-bit value in memory order, the form the
    // filter lists hold.
    std::uint32_t AddressWord(std::size_t offset) const { return std::bit_cast<std::uint32_t>(Address(offset)); }

    // Copies the bytes from offset up to the end of the datagram, at most
    // destination.size() of them; returns how many were copied.
    std::size_t CopyOut(std::size_t offset, std::span<std::uint8_t> destination) const {
        if (offset >= size_) return 0;
        const std::size_t count = std::min(destination.size(), size_ - offset);
        if (count != 0) std::memcpy(destination.data(), base_ + offset, count);
        return count;
    }

private:
    bool Holds(std::size_t offset, std::size_t width) const { return size_ >= width && offset <= size_ - width; }

    const std::uint8_t* base_;
    std::size_t size_;
};
