#include "platform/sound/Win32SoundPlayer.h"

#include "platform/sound/WaveFile.h"

#include <atomic>

namespace {

constexpr DWORD kPlayFlags = SND_MEMORY | SND_ASYNC | SND_NODEFAULT;

std::atomic<CWin32SoundPlayer*> installedPlayer{nullptr};

std::uint32_t Le32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// PlaySound from memory gets no length: it trusts the sizes of the RIFF and
// data chunk headers, and would read past an image that claims more.
bool SizesStayInside(std::span<const std::uint8_t> image, const CWaveInfo& info) {
    const std::uint64_t riffEnd = 8 + std::uint64_t{Le32(image, 4)};
    const std::uint64_t dataEnd = info.dataOffset + std::uint64_t{Le32(image, info.dataOffset - 4)};
    return riffEnd <= image.size() && dataEnd <= image.size();
}

}  // namespace

bool CWin32SoundPlayer::PlayWaveImage(std::span<const std::uint8_t> image, bool wait) {
    const auto info = ParseWave(image);
    if (!info || !SizesStayInside(image, *info)) return false;
    std::unique_lock lock(mutex);
    // Under the lock, so that the system starts the sounds in the order of
    // currentSound.
    const std::uint64_t sound = ++currentSound;
    newSound.notify_all();
    if (!playSound(reinterpret_cast<LPCWSTR>(image.data()), nullptr, kPlayFlags)) return false;
    if (!wait) return true;
    // The system tells nothing of an asynchronous sound's end; a synchronous
    // one could block without bound on a stuck device.
    if (!newSound.wait_for(lock, info->Duration() + kSoundEndMargin, [&] { return currentSound != sound; }))
        playSound(nullptr, nullptr, 0);
    return true;
}

CWin32SoundPlayer& SoundPlayer() {
    if (CWin32SoundPlayer* const installed = installedPlayer.load()) return *installed;
    static CWin32SoundPlayer program;
    return program;
}

void SetSoundPlayer(CWin32SoundPlayer* player) { installedPlayer = player; }
