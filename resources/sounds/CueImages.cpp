#include "resources/sounds/CueImages.h"

#include "platform/sound/WaveFile.h"
#include "resources/sounds/CueSynth.h"

#include <map>
#include <vector>

std::span<const std::uint8_t> SoundCueImage(int id) {
    // Never freed: a sound may still play while the process ends.
    static const auto* const images = [] {
        auto* made = new std::map<int, std::vector<std::uint8_t>>;
        for (const int cue : kCueIds) made->emplace(cue, EncodePcm16Wave(SynthesizeCue(cue), kCueSampleRate));
        return made;
    }();
    const auto found = images->find(id);
    if (found == images->end()) return {};
    return found->second;
}
