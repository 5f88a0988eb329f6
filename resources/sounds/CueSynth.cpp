#include "resources/sounds/CueSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct CNote {
    double frequency;   // Hz
    double start;       // seconds from the cue's start
    double length;      // seconds
    double level;       // relative loudness
    double decay;       // time constant of the decay, seconds
};

struct CCue {
    int id;
    double length;   // seconds
    double peak;     // of full scale: cues are a hint, not an alarm
    std::vector<CNote> notes;
};

constexpr double kC5 = 523.25, kE5 = 659.26, kG5 = 783.99, kC6 = 1046.50, kG4 = 392.00;

constexpr double kAttack = 0.008;
constexpr double kRelease = 0.040;

const std::vector<CCue>& Cues() {
    static const std::vector<CCue> cues = {
        {198, 0.34, 0.45, {{kC5, 0.00, 0.16, 1.0, 0.18}, {kG5, 0.12, 0.22, 1.0, 0.14}}},
        {197, 0.34, 0.45, {{kG5, 0.00, 0.16, 1.0, 0.18}, {kC5, 0.12, 0.22, 1.0, 0.14}}},
        {201, 0.60, 0.42,
         {{kC5, 0.00, 0.60, 0.8, 0.30},
          {kE5, 0.05, 0.55, 0.7, 0.28},
          {kG5, 0.10, 0.50, 0.7, 0.26},
          {kC6, 0.15, 0.45, 0.5, 0.22}}},
        {200, 0.80, 0.35,
         {{kG5, 0.00, 0.80, 0.6, 0.40},
          {kE5, 0.08, 0.72, 0.6, 0.40},
          {kC5, 0.16, 0.64, 0.7, 0.42},
          {kG4, 0.24, 0.56, 0.8, 0.45}}},
    };
    return cues;
}

// Loudness of a note t seconds after its start: a rising half cosine for the
// attack, an exponential decay, and a falling half cosine over the release
// that reaches zero exactly at the note's end.
double Envelope(const CNote& note, double t) {
    if (t < 0 || t >= note.length) return 0;
    double gain = std::exp(-t / note.decay);
    if (t < kAttack) gain *= 0.5 - 0.5 * std::cos(std::numbers::pi * t / kAttack);
    const double left = note.length - t;
    if (left < kRelease) gain *= 0.5 - 0.5 * std::cos(std::numbers::pi * left / kRelease);
    return gain * note.level;
}

// A sine with weak second and third harmonics: warmer than a pure sine and
// still free of extra zero crossings.
double Tone(double frequency, double t) {
    const double phase = 2 * std::numbers::pi * frequency * t;
    return std::sin(phase) + 0.20 * std::sin(2 * phase) + 0.05 * std::sin(3 * phase);
}

}  // namespace

std::vector<std::int16_t> SynthesizeCue(int id) {
    const auto cue = std::find_if(Cues().begin(), Cues().end(), [id](const CCue& c) { return c.id == id; });
    if (cue == Cues().end()) return {};
    const std::size_t count = static_cast<std::size_t>(std::lround(cue->length * kCueSampleRate));
    std::vector<double> mix(count, 0.0);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kCueSampleRate;
        for (const CNote& note : cue->notes) {
            mix[i] += Envelope(note, t - note.start) * Tone(note.frequency, t - note.start);
        }
    }
    double loudest = 0;
    for (const double value : mix) loudest = std::max(loudest, std::abs(value));
    const double scale = loudest > 0 ? cue->peak * 32767 / loudest : 0;
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(std::lround(mix[i] * scale));
    }
    return samples;
}
