#include "platform/sound/WaveFile.h"

#include <cstring>
#include <string_view>

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kPcmFormatSize = 16;

// Little-endian reads; the caller has checked that the bytes are there.
std::uint16_t Le16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

bool HasTag(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view tag) {
    return bytes.size() >= at + tag.size() &&
           std::memcmp(bytes.data() + at, tag.data(), tag.size()) == 0;
}

std::optional<WaveSampleFormat> SampleFormat(std::uint16_t tag, std::uint16_t bits) {
    if (tag == kFormatPcm) {
        switch (bits) {
        case 8: return WaveSampleFormat::UInt8;
        case 16: return WaveSampleFormat::Int16;
        case 24: return WaveSampleFormat::Int24;
        case 32: return WaveSampleFormat::Int32;
        default: return std::nullopt;
        }
    }
    if (tag == kFormatFloat && bits == 32) return WaveSampleFormat::Float32;
    return std::nullopt;
}

// Fills the format fields of info from the body of a "fmt " chunk.
bool ReadFormat(std::span<const std::uint8_t> body, CWaveInfo& info) {
    if (body.size() < kPcmFormatSize) return false;
    std::uint16_t tag = Le16(body, 0);
    const std::uint16_t channels = Le16(body, 2);
    const std::uint32_t rate = Le32(body, 4);
    const std::uint16_t blockAlign = Le16(body, 12);
    const std::uint16_t bits = Le16(body, 14);
    if (tag == kFormatExtensible) {
        // The real format tag leads the sub-format GUID behind cbSize,
        // valid-bits and the channel mask.
        if (body.size() < 40 || Le16(body, 16) < 22) return false;
        tag = Le16(body, 24);
    }
    const auto format = SampleFormat(tag, bits);
    if (!format || channels < 1 || channels > 8 || rate < 1000 || rate > 384000) return false;
    if (blockAlign != channels * (bits / 8)) return false;
    info.sampleFormat = *format;
    info.channels = channels;
    info.sampleRate = rate;
    info.bytesPerFrame = blockAlign;
    return true;
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

void PutTag(std::vector<std::uint8_t>& out, std::string_view tag) {
    out.insert(out.end(), tag.begin(), tag.end());
}

}  // namespace

std::chrono::milliseconds CWaveInfo::Duration() const {
    if (sampleRate == 0) return std::chrono::milliseconds(0);
    const std::uint64_t frames = FrameCount();
    return std::chrono::milliseconds((frames * 1000 + sampleRate - 1) / sampleRate);
}

std::optional<CWaveInfo> ParseWave(std::span<const std::uint8_t> image) {
    if (image.size() < kRiffHeaderSize || !HasTag(image, 0, "RIFF") || !HasTag(image, 8, "WAVE")) {
        return std::nullopt;
    }
    CWaveInfo info;
    bool haveFormat = false;
    std::size_t at = kRiffHeaderSize;
    // The RIFF size field is often wrong in the wild; the chunks themselves,
    // bounded by the image, are what count.
    while (image.size() - at >= kChunkHeaderSize) {
        const std::size_t size = Le32(image, at + 4);
        const std::size_t bodyAt = at + kChunkHeaderSize;
        const std::size_t available = image.size() - bodyAt;
        if (HasTag(image, at, "fmt ")) {
            if (size > available || !ReadFormat(image.subspan(bodyAt, size), info)) {
                return std::nullopt;
            }
            haveFormat = true;
        } else if (HasTag(image, at, "data")) {
            if (!haveFormat) return std::nullopt;
            const std::size_t kept = size < available ? size : available;
            info.dataOffset = bodyAt;
            info.dataSize = kept - kept % info.bytesPerFrame;
            if (info.dataSize == 0) return std::nullopt;
            return info;
        }
        if (size > available) break;   // a chunk cut off before the data chunk
        // Chunks are padded to an even size.
        const std::size_t step = size + (size & 1);
        if (step > available) break;
        at = bodyAt + step;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> EncodePcm16Wave(std::span<const std::int16_t> samples,
                                          std::uint32_t sampleRate, std::uint16_t channels) {
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataSize);
    PutTag(out, "RIFF");
    PutLe32(out, 36 + dataSize);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLe32(out, kPcmFormatSize);
    PutLe16(out, kFormatPcm);
    PutLe16(out, channels);
    PutLe32(out, sampleRate);
    PutLe32(out, sampleRate * channels * 2);
    PutLe16(out, channels * 2u);
    PutLe16(out, 16);
    PutTag(out, "data");
    PutLe32(out, dataSize);
    for (const std::int16_t sample : samples) PutLe16(out, static_cast<std::uint16_t>(sample));
    return out;
}
