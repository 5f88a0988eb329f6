// Writes the program's four sound cues as WAVE files, <id>.wav, into the
// directory given as the only argument. Run by the build.

#include "resources/sounds/CueImages.h"
#include "resources/sounds/CueSynth.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIRECTORY\n", argv[0]);
        return 2;
    }
    for (const int id : kCueIds) {
        const auto image = SoundCueImage(id);
        const std::string path = std::string(argv[1]) + "/" + std::to_string(id) + ".wav";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], path.c_str());
            return 1;
        }
    }
    return 0;
}
