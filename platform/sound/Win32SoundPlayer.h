#pragma once
// The program's sound output on Windows: WAVE images played from memory
// with PlaySoundW, one at a time; a sound that starts cuts off the one
// playing, as the system does. Any thread.

#include "platform/sound/SoundWait.h"

#include <windows.h>
#include <mmsystem.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>

// PlaySoundW's signature; tests stand in for the call.
using PlaySoundCall = BOOL(WINAPI*)(LPCWSTR sound, HMODULE module, DWORD flags);

class CWin32SoundPlayer {
public:
    explicit CWin32SoundPlayer(PlaySoundCall playSound = ::PlaySoundW) : playSound(playSound) {}
    CWin32SoundPlayer(const CWin32SoundPlayer&) = delete;
    CWin32SoundPlayer& operator=(const CWin32SoundPlayer&) = delete;

    // Plays image, a whole WAVE image that must stay as it is until the
    // process ends: the system reads it while the sound plays on. With wait
    // it returns when a newer sound has cut it off, else after its length
    // plus kSoundEndMargin, and cuts it off if it still plays. A damaged
    // image, or one whose header claims more bytes than it holds, plays
    // nothing, leaves a playing sound alone and returns false at once; so
    // does an image the system cannot play (no audio device), except that it
    // has cut off the playing sound.
    bool PlayWaveImage(std::span<const std::uint8_t> image, bool wait);

private:
    PlaySoundCall playSound;
    std::mutex mutex;
    std::condition_variable newSound;
    std::uint64_t currentSound = 0;   // counts the sounds started
};

// The installed player: the one given to SetSoundPlayer, else the program's
// own on the system's PlaySoundW. Any thread.
CWin32SoundPlayer& SoundPlayer();

// Installs a player in place of the program's own (tests install one over a
// stand-in); nullptr restores the program's own. The caller keeps ownership
// and restores the default before destroying its player.
void SetSoundPlayer(CWin32SoundPlayer* player);
