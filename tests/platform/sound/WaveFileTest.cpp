#include "platform/sound/WaveFile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Little-endian, n bytes.
void Put(Bytes& out, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutTag(Bytes& out, std::string_view tag) { out.insert(out.end(), tag.begin(), tag.end()); }

// A chunk claiming its own size is padded to an even length.
void PutChunk(Bytes& out, std::string_view tag, const Bytes& body, std::optional<std::uint32_t> claimed = {}) {
    PutTag(out, tag);
    Put(out, claimed.value_or(static_cast<std::uint32_t>(body.size())), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (!claimed && body.size() % 2) out.push_back(0);
}

Bytes Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
             std::uint16_t blockAlign) {
    Bytes f;
    for (auto [v, n] : {std::pair<std::uint32_t, int>{tag, 2}, {channels, 2}, {rate, 4}, {rate * blockAlign, 4},
                        {blockAlign, 2}, {bits, 2}})
        Put(f, v, n);
    return f;
}

Bytes Riff(const Bytes& chunks) {
    Bytes out;
    PutTag(out, "RIFF");
    Put(out, static_cast<std::uint32_t>(4 + chunks.size()), 4);
    PutTag(out, "WAVE");
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

Bytes SimpleWave(const Bytes& format, std::size_t dataBytes) {
    Bytes chunks;
    PutChunk(chunks, "fmt ", format);
    PutChunk(chunks, "data", Bytes(dataBytes, 0x11));
    return Riff(chunks);
}

TEST(WaveFile, EncodedImageReadsBack) {
    const std::vector<std::int16_t> samples(22050 / 2, 1234);   // half a second
    const Bytes image = EncodePcm16Wave(samples, 22050);
    ASSERT_EQ(image.size(), 44 + samples.size() * 2);
    const auto info = ParseWave(image);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sampleFormat, WaveSampleFormat::Int16);
    EXPECT_EQ(info->Duration().count(), 500);
    // The header every reader expects; samples little-endian: 1234 = 0x04D2.
    Bytes header;
    PutTag(header, "RIFF");
    Put(header, std::uint32_t(36 + samples.size() * 2), 4);
    PutTag(header, "WAVE");
    PutChunk(header, "fmt ", Format(1, 1, 22050, 16, 2));
    PutChunk(header, "data", {0xD2, 0x04}, std::uint32_t(samples.size() * 2));
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 46), header);
}

TEST(WaveFile, DurationCountsWholeFramesRoundedUp) {
    // Stereo 16-bit: 4 bytes a frame; 44101 frames at 44100/s are 1000.02 ms.
    const auto info = ParseWave(SimpleWave(Format(1, 2, 44100, 16, 4), 44101 * 4 + 3));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->FrameCount(), 44101u);
    EXPECT_EQ(info->dataSize, 44101u * 4);
    EXPECT_EQ(info->Duration().count(), 1001);
}

TEST(WaveFile, DataChunkLongerThanTheImageIsCutToWhatIsThere) {
    Bytes chunks;
    PutChunk(chunks, "fmt ", Format(1, 1, 22050, 16, 2));
    PutChunk(chunks, "data", Bytes(1001, 7), 1000000);
    const auto info = ParseWave(Riff(chunks));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->dataSize, 1000u);   // whole frames only
}

TEST(WaveFile, RefusesDamagedImages) {
    const Bytes good = SimpleWave(Format(1, 1, 22050, 16, 2), 2000);
    ASSERT_TRUE(ParseWave(good));

    // Every truncation that cuts into the header, or leaves no whole frame
    // (garbage is the player's test).
    for (std::size_t size = 0; size <= 45; ++size)
        EXPECT_FALSE(ParseWave(std::span(good.data(), size))) << "truncated to " << size;
    EXPECT_TRUE(ParseWave(std::span(good.data(), 46)));

    Bytes notWave = good;
    notWave[8] = 'A';   // "AAVE"
    EXPECT_FALSE(ParseWave(notWave));

    const std::pair<const char*, Bytes> formats[] = {
        {"no channels", Format(1, 0, 22050, 16, 0)},
        {"nine channels", Format(1, 9, 22050, 16, 18)},
        {"block align disagrees", Format(1, 1, 22050, 16, 4)},
        {"12-bit samples", Format(1, 1, 22050, 12, 2)},
        {"rate 0", Format(1, 1, 0, 16, 2)},
        {"compressed", Format(2, 1, 22050, 4, 256)},
        {"format chunk too short", Bytes(14, 1)},
    };
    for (const auto& [what, format] : formats) EXPECT_FALSE(ParseWave(SimpleWave(format, 2000))) << what;

    Bytes dataFirst;
    PutChunk(dataFirst, "data", Bytes(200, 0));
    PutChunk(dataFirst, "fmt ", Format(1, 1, 22050, 16, 2));
    EXPECT_FALSE(ParseWave(Riff(dataFirst))) << "data before its format";

    Bytes noData;
    PutChunk(noData, "fmt ", Format(1, 1, 22050, 16, 2));
    EXPECT_FALSE(ParseWave(Riff(noData)));

    Bytes hugeChunk;
    PutChunk(hugeChunk, "LIST", Bytes(8, 0), 0xFFFFFFFF);
    PutChunk(hugeChunk, "fmt ", Format(1, 1, 22050, 16, 2));
    PutChunk(hugeChunk, "data", Bytes(200, 0));
    EXPECT_FALSE(ParseWave(Riff(hugeChunk))) << "a chunk size that runs past the end";

    EXPECT_FALSE(ParseWave(SimpleWave(Format(1, 1, 22050, 16, 2), 0))) << "empty data";
}

}  // namespace
