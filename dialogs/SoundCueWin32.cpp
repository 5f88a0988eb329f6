#include "dialogs/SoundCue.h"

#include "platform/sound/Win32SoundPlayer.h"
#include "resources/sounds/CueImages.h"

// On the caller's thread: the system plays on a thread of its own, and a
// waiting call is bounded by the cue's length.
void PlaySoundCue(int id, int wait) {
    const auto image = SoundCueImage(id);
    if (image.empty()) return;   // no such cue: silent, and nothing is cut off
    SoundPlayer().PlayWaveImage(image, wait != 0);
}
