#pragma once
// The sound cues that mark the program's life, played from its own WAVE
// resources.

inline constexpr int kStopCue = 197;      // Stop listening, the posted stop, a failed start
inline constexpr int kStartCue = 198;     // Start listening
inline constexpr int kEndCue = 200;       // End; played to its end
inline constexpr int kWelcomeCue = 201;   // the main window opening

// Plays the WAVE resource with that id: wait 0 returns at once and the sound
// plays on, wait 1 returns when it has ended (at the latest its length plus
// a small margin later). A new cue cuts off the one playing. An id without a
// resource, or a damaged one, plays nothing. Reports nothing.
//
// Callable on any thread. The window thread owns the sound objects; another
// thread (the capture thread at a failed start) hands the cue over to it and
// never waits for that thread; with wait 1 it waits at most for the cue's
// own length once the window thread has started it.
void PlaySoundCue(int id, int wait);
