#include "platform/sound/WaveFile.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void PutTag(Bytes& out, std::string_view tag) { out.insert(out.end(), tag.begin(), tag.end()); }

void PutChunk(Bytes& out, std::string_view tag, const Bytes& body, std::uint32_t claimed) {
    PutTag(out, tag);
    Put32(out, claimed);
    out.insert(out.end(), body.begin(), body.end());
}
void PutChunk(Bytes& out, std::string_view tag, const Bytes& body) {
    PutChunk(out, tag, body, static_cast<std::uint32_t>(body.size()));
    if (body.size() % 2) out.push_back(0);
}

Bytes Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
             std::uint16_t blockAlign) {
    Bytes f;
    Put16(f, tag);
    Put16(f, channels);
    Put32(f, rate);
    Put32(f, rate * blockAlign);
    Put16(f, blockAlign);
    Put16(f, bits);
    return f;
}

Bytes Riff(const Bytes& chunks) {
    Bytes out;
    PutTag(out, "RIFF");
    Put32(out, static_cast<std::uint32_t>(4 + chunks.size()));
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
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(info->sampleRate, 22050u);
    EXPECT_EQ(info->dataOffset, 44u);
    EXPECT_EQ(info->dataSize, samples.size() * 2);
    EXPECT_EQ(info->FrameCount(), samples.size());
    EXPECT_EQ(info->Duration().count(), 500);
    // Samples are little-endian: 1234 = 0x04D2.
    EXPECT_EQ(image[44], 0xD2);
    EXPECT_EQ(image[45], 0x04);
}

TEST(WaveFile, DurationCountsWholeFramesRoundedUp) {
    // Stereo 16-bit: 4 bytes a frame; 44101 frames at 44100/s are 1000.02 ms.
    const auto info = ParseWave(SimpleWave(Format(1, 2, 44100, 16, 4), 44101 * 4 + 3));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->FrameCount(), 44101u);
    EXPECT_EQ(info->dataSize, 44101u * 4);
    EXPECT_EQ(info->Duration().count(), 1001);
}

TEST(WaveFile, WalksOtherChunksAndFormats) {
    Bytes chunks;
    PutChunk(chunks, "LIST", Bytes(5, 'x'));   // odd size: one pad byte follows
    PutChunk(chunks, "fmt ", Format(3, 1, 48000, 32, 4));
    PutChunk(chunks, "fact", Bytes(4, 0));
    PutChunk(chunks, "data", Bytes(4800 * 4, 0));
    const auto info = ParseWave(Riff(chunks));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->sampleFormat, WaveSampleFormat::Float32);
    EXPECT_EQ(info->Duration().count(), 100);
    EXPECT_EQ(info->dataOffset, 12 + (8 + 6) + (8 + 16) + (8 + 4) + 8u);

    // WAVE_FORMAT_EXTENSIBLE carries the real tag in its sub-format.
    Bytes extensible = Format(0xFFFE, 2, 44100, 16, 4);
    Put16(extensible, 22);        // cbSize
    Put16(extensible, 16);        // valid bits
    Put32(extensible, 3);         // channel mask
    Put16(extensible, 1);         // PCM ...
    extensible.resize(40, 0);     // ... and the rest of the GUID
    const auto ext = ParseWave(SimpleWave(extensible, 400));
    ASSERT_TRUE(ext);
    EXPECT_EQ(ext->sampleFormat, WaveSampleFormat::Int16);
    EXPECT_EQ(ext->channels, 2);
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

    // Every truncation that cuts into the header, or leaves no whole frame.
    for (std::size_t size = 0; size <= 45; ++size) {
        EXPECT_FALSE(ParseWave(std::span(good.data(), size))) << "truncated to " << size;
    }
    EXPECT_TRUE(ParseWave(std::span(good.data(), 46)));

    Bytes garbage(4096);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 131 + 7);
    EXPECT_FALSE(ParseWave(garbage));

    Bytes notWave = good;
    notWave[8] = 'A';   // "AAVE"
    EXPECT_FALSE(ParseWave(notWave));

    struct Case {
        const char* what;
        Bytes format;
    };
    const Case formats[] = {
        {"no channels", Format(1, 0, 22050, 16, 0)},
        {"nine channels", Format(1, 9, 22050, 16, 18)},
        {"block align disagrees", Format(1, 1, 22050, 16, 4)},
        {"12-bit samples", Format(1, 1, 22050, 12, 2)},
        {"rate 0", Format(1, 1, 0, 16, 2)},
        {"compressed", Format(2, 1, 22050, 4, 256)},
        {"format chunk too short", Bytes(14, 1)},
    };
    for (const Case& c : formats) EXPECT_FALSE(ParseWave(SimpleWave(c.format, 2000))) << c.what;

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
