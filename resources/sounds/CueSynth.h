#pragma once
// The program's four sound cues, synthesised: soft sine tones with a touch of
// overtones, each note with a short attack, an exponential decay and a
// rounded release, so that nothing clicks. The same code always gives the
// same samples.
//
//   198 start    a rising fifth, C5 then G5
//   197 stop     the same fifth falling, G5 then C5
//   201 welcome  a C major chord rolled upwards, C5 E5 G5 C6
//   200 end      a softer, longer C major chord rolled downwards, G5 E5 C5 G4

#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::uint32_t kCueSampleRate = 22050;

// The ids of the cues, as the program's WAVE resources number them.
inline constexpr int kCueIds[] = {197, 198, 200, 201};

// The mono 16-bit samples of one cue; empty for an id that is not a cue.
std::vector<std::int16_t> SynthesizeCue(int id);
