#pragma once
// RIFF WAVE images: reading the header of a cue to know what and how long it
// plays, and writing the 16-bit PCM images that the cue generator makes.
// Reading is bounds-checked throughout: the image may be truncated or garbage.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

enum class WaveSampleFormat { UInt8, Int16, Int24, Int32, Float32 };

struct CWaveInfo {
    WaveSampleFormat sampleFormat = WaveSampleFormat::Int16;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bytesPerFrame = 0;
    // The sample data: whole frames only, all of them inside the image.
    std::size_t dataOffset = 0;
    std::size_t dataSize = 0;

    std::size_t FrameCount() const { return dataSize / bytesPerFrame; }
    // The playing time, rounded up to the next millisecond.
    std::chrono::milliseconds Duration() const;
};

// Reads the "fmt " and "data" chunks of a WAVE image. Integer PCM of 8, 16,
// 24 or 32 bits and 32-bit float, 1 to 8 channels, 1000 to 384000 frames a
// second. A data chunk that claims more than the image holds is cut to what
// is there. Returns nothing for a damaged image, an unsupported format or an
// image without a single whole frame.
std::optional<CWaveInfo> ParseWave(std::span<const std::uint8_t> image);

// A complete 16-bit PCM WAVE image of the interleaved samples.
std::vector<std::uint8_t> EncodePcm16Wave(std::span<const std::int16_t> samples,
                                          std::uint32_t sampleRate, std::uint16_t channels = 1);
