#include "platform/sound/WaveFile.h"
#include "resources/sounds/CueSynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kC5 = 523.25, kG5 = 783.99;

// The pitch of a single note between two times (seconds), from its zero crossings.
double Pitch(const std::vector<std::int16_t>& samples, double from, double to) {
    const auto part = std::span(samples).subspan(std::size_t(from * kCueSampleRate), std::size_t((to - from) * kCueSampleRate));
    int crossings = 0;
    for (std::size_t i = 1; i < part.size(); ++i) crossings += (part[i - 1] < 0) != (part[i] < 0);
    return crossings / (2.0 * part.size() / kCueSampleRate);
}

TEST(SoundCues, ShortQuietAndClickFreeAndOnlyTheFourIds) {
    std::chrono::milliseconds longest{0};
    int longestId = 0;
    for (const int id : kCueIds) {
        const std::vector<std::int16_t> samples = SynthesizeCue(id);
        const auto info = ParseWave(EncodePcm16Wave(samples, kCueSampleRate));
        ASSERT_TRUE(info) << id;
        EXPECT_GE(info->Duration().count(), 200) << id;
        EXPECT_LE(info->Duration().count(), 800) << id;
        if (info->Duration() > longest) longest = info->Duration(), longestId = id;
        int peak = 0;
        for (const std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_GT(peak, 0.2 * 32767) << id;
        EXPECT_LE(peak, 0.5 * 32767) << id;
        // Starts and ends at silence: no click when it begins or is cut.
        EXPECT_LT(std::abs(samples.front()), 0.01 * 32767) << id;
        EXPECT_LT(std::abs(samples.back()), 0.01 * 32767) << id;
    }
    EXPECT_EQ(longestId, 200) << "the end cue is the longest";
    EXPECT_TRUE(SynthesizeCue(199).empty());
    EXPECT_TRUE(SynthesizeCue(0).empty());
}

TEST(SoundCues, StartRisesAndStopFalls) {
    const auto start = SynthesizeCue(198);
    EXPECT_NEAR(Pitch(start, 0.01, 0.11), kC5, 25);
    EXPECT_NEAR(Pitch(start, 0.17, 0.30), kG5, 25);
    const auto stop = SynthesizeCue(197);
    EXPECT_NEAR(Pitch(stop, 0.01, 0.11), kG5, 25);
    EXPECT_NEAR(Pitch(stop, 0.17, 0.30), kC5, 25);
}

}  // namespace
