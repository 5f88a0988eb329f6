#pragma once
// The program's sound output: WAV images from the program's resources, one at
// a time. Every call is made on the thread that owns the player, the
// application's (window) thread; PlaySoundCue brings other threads' calls
// there.

#include "platform/sound/SoundWait.h"

#include <QString>

#include <chrono>
#include <optional>

class CSoundPlayer {
public:
    virtual ~CSoundPlayer() = default;

    // Plays the WAV image at path (a resource such as ":/sounds/198.wav", or a
    // file); a sound that starts cuts off the one playing. With wait it
    // returns when the sound has ended or was cut off by a newer one, and at
    // the latest its length plus kSoundEndMargin after it began. A missing or
    // damaged image plays nothing, leaves a playing sound alone and returns
    // false at once; so does a sound image that the audio device cannot play
    // (or a system without one), except that it has cut off the playing sound.
    virtual bool PlayWaveResource(const QString& path, bool wait) = 0;
};

// The installed player: the one given to SetSoundPlayer, else the program's
// own Qt Multimedia player, made on first use and owned by the application
// object. Window thread only.
CSoundPlayer& SoundPlayer();

// Installs a player in place of the program's own (tests install a
// recorder); nullptr restores the program's own. The caller keeps ownership
// and restores the default before destroying its player. Window thread only.
void SetSoundPlayer(CSoundPlayer* player);

// The playing time of the WAV image at path; nothing when it is missing or
// damaged. Any thread.
std::optional<std::chrono::milliseconds> WaveResourceDuration(const QString& path);
