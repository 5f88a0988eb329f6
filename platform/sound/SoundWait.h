#pragma once

#include <chrono>

// How long a waiting caller may wait beyond a sound's own length, for the
// device to start and to drain its buffers.
inline constexpr std::chrono::milliseconds kSoundEndMargin{250};
