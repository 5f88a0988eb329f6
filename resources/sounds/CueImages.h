#pragma once
// The four cues as whole WAVE images in memory, without a toolkit: the
// Windows build plays them from here, the cue generator writes them out.

#include <cstdint>
#include <span>

// The image of a cue, made on first use and kept as it is until the process
// ends (an asynchronous play reads it while it plays); empty for an id that
// is not a cue. Any thread.
std::span<const std::uint8_t> SoundCueImage(int id);
