// The cues on Windows over a stand-in for PlaySoundW (the bytes it is given,
// the flags, the order), and once through the system's own call, which under
// Wine may find no audio device but must neither crash nor hang.
#include "platform/sound/Win32SoundPlayer.h"
#include "platform/sound/WaveFile.h"
#include "resources/sounds/CueSynth.h"
#include "dialogs/SoundCue.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::vector<std::pair<const std::uint8_t*, DWORD>> calls;   // image, flags
BOOL answer = TRUE;

BOOL WINAPI StandIn(LPCWSTR sound, HMODULE module, DWORD flags) {
    EXPECT_EQ(module, nullptr);
    calls.emplace_back(reinterpret_cast<const std::uint8_t*>(sound), flags);
    return answer;
}

// The image as PlaySound from memory reads it: as long as its RIFF header says.
Bytes ImageAt(const std::uint8_t* at) {
    return Bytes(at, at + 8 + (at[4] | at[5] << 8 | at[6] << 16 | static_cast<std::uint32_t>(at[7]) << 24));
}

Bytes Silence(int ms) { return EncodePcm16Wave(std::vector<std::int16_t>(kCueSampleRate * ms / 1000), kCueSampleRate); }

constexpr DWORD kAsyncFromMemory = SND_MEMORY | SND_ASYNC | SND_NODEFAULT;

class Win32Sound : public testing::Test {
protected:
    Win32Sound() { calls.clear(), answer = TRUE, SetSoundPlayer(&player); }
    ~Win32Sound() override { SetSoundPlayer(nullptr); }
    CWin32SoundPlayer player{&StandIn};
};

TEST_F(Win32Sound, CuesPlayTheirImagesFromMemoryAndTheImagesStay) {
    const int ids[] = {kWelcomeCue, kStartCue, kStopCue, kStartCue};
    for (const int id : ids) PlaySoundCue(id, 0);
    for (const int id : {0, -1, 196, 199, 202}) PlaySoundCue(id, 1);   // silent: no call, no wait
    ASSERT_EQ(calls.size(), 4u);
    // Read after every call: the system reads an image while it plays on.
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, kAsyncFromMemory);
        EXPECT_EQ(ImageAt(calls[i].first), EncodePcm16Wave(SynthesizeCue(ids[i]), kCueSampleRate)) << ids[i];
    }
    EXPECT_EQ(calls[3].first, calls[1].first);   // made once, kept
}

TEST_F(Win32Sound, AWaitLastsTheSoundUnlessANewerOneCutsItOff) {
    const Bytes tenth = Silence(100), longer = Silence(5000);
    auto start = Clock::now();
    EXPECT_TRUE(player.PlayWaveImage(tenth, true));
    EXPECT_GE(Clock::now() - start, milliseconds(100) + kSoundEndMargin);
    EXPECT_LT(Clock::now() - start, milliseconds(100) + kSoundEndMargin + milliseconds(1500));
    // Still playing at the end of its bound: cut off. A newer sound from
    // another thread ends the wait and is not cut off.
    std::thread newer([&] { std::this_thread::sleep_for(milliseconds(200)), player.PlayWaveImage(tenth, false); });
    start = Clock::now();
    EXPECT_TRUE(player.PlayWaveImage(longer, true));
    EXPECT_LT(Clock::now() - start, milliseconds(4000));
    newer.join();
    EXPECT_EQ(calls, (std::vector<std::pair<const std::uint8_t*, DWORD>>{
                         {tenth.data(), kAsyncFromMemory}, {nullptr, 0}, {longer.data(), kAsyncFromMemory},
                         {tenth.data(), kAsyncFromMemory}}));
}

TEST_F(Win32Sound, ImagesThatWouldBeReadPastTheirEndPlayNothing) {
    const Bytes good = Silence(100);
    Bytes riffLies = good, dataLies = good;
    riffLies[5] += 1;   // 256 bytes more than there are
    dataLies[41] += 1;
    for (const Bytes& image : {riffLies, dataLies, Bytes(good.begin(), good.end() - 2), Bytes(100, 'R')})
        EXPECT_FALSE(player.PlayWaveImage(image, true));
    EXPECT_TRUE(calls.empty());
    answer = FALSE;   // no audio device: false at once, without the sound's wait
    const auto start = Clock::now();
    EXPECT_FALSE(player.PlayWaveImage(Silence(3000), true));
    EXPECT_LT(Clock::now() - start, milliseconds(1500));
}

// Wine's first call loads its audio drivers, which took 8 s once on a loaded
// machine with no sound card: the bound is for a hang, not for speed.
TEST(Win32SoundSystem, TheSystemsCallNeitherCrashesNorHangs) {
    const auto start = Clock::now();
    PlaySoundCue(kStartCue, 0);
    PlaySoundCue(kEndCue, 1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
}

}  // namespace
