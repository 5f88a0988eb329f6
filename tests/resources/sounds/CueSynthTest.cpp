#include "platform/sound/WaveFile.h"
#include "resources/sounds/CueSynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>

namespace {

constexpr double kC5 = 523.25, kE5 = 659.26, kG5 = 783.99, kC6 = 1046.50, kG4 = 392.00;

using Window = std::pair<double, double>;  // seconds

std::span<const std::int16_t> Slice(const std::vector<std::int16_t>& samples, Window w) {
    const auto from = static_cast<std::size_t>(w.first * kCueSampleRate);
    const auto to = std::min(samples.size(), static_cast<std::size_t>(w.second * kCueSampleRate));
    return std::span(samples).subspan(from, to - from);
}

// The pitch of a single note, from its zero crossings.
double Pitch(const std::vector<std::int16_t>& samples, Window w) {
    const auto part = Slice(samples, w);
    int crossings = 0;
    for (std::size_t i = 1; i < part.size(); ++i) crossings += (part[i - 1] < 0) != (part[i] < 0);
    return crossings / (2.0 * part.size() / kCueSampleRate);
}

// Relative energy at one frequency (Goertzel).
double Energy(const std::vector<std::int16_t>& samples, Window w, double frequency) {
    const auto part = Slice(samples, w);
    const double k = 2 * std::cos(2 * std::numbers::pi * frequency / kCueSampleRate);
    double s1 = 0, s2 = 0;
    for (const std::int16_t x : part) s2 = std::exchange(s1, x + k * s1 - s2);
    return (s1 * s1 + s2 * s2 - k * s1 * s2) / part.size();
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
    EXPECT_NEAR(Pitch(start, {0.01, 0.11}), kC5, 25);
    EXPECT_NEAR(Pitch(start, {0.17, 0.30}), kG5, 25);
    const auto stop = SynthesizeCue(197);
    EXPECT_NEAR(Pitch(stop, {0.01, 0.11}), kG5, 25);
    EXPECT_NEAR(Pitch(stop, {0.17, 0.30}), kC5, 25);
}

TEST(SoundCues, WelcomeAndEndAreChords) {
    struct Case {
        int id;
        double firstNote;  // sounds alone at the start
        Window alone;
        std::vector<double> notes;  // all sound together later
        Window together;
    };
    const Case cases[] = {
        {201, kC5, {0.0, 0.045}, {kC5, kE5, kG5, kC6}, {0.2, 0.45}},  // rolled upwards
        {200, kG5, {0.0, 0.075}, {kG5, kE5, kC5, kG4}, {0.3, 0.6}},   // rolled downwards
    };
    for (const Case& c : cases) {
        const auto samples = SynthesizeCue(c.id);
        EXPECT_NEAR(Pitch(samples, c.alone), c.firstNote, 40) << c.id;
        // Off-chord frequencies between the notes carry little energy.
        const double offChord = std::max(Energy(samples, c.together, 590), Energy(samples, c.together, 720));
        for (const double note : c.notes)
            EXPECT_GT(Energy(samples, c.together, note), 20 * offChord) << c.id << " at " << note << " Hz";
    }
}

}  // namespace
