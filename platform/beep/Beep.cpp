#include "platform/beep/Beep.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::atomic<BeepHandler> currentHandler{nullptr};

// Event devices that can play a tone are the PC speaker (pcspkr) and a few
// sound cards' beep inputs; any of them will do.
int OpenToneDevice() {
    DIR* dir = opendir("/dev/input");
    if (!dir) return -1;
    int found = -1;
    while (dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, "event", 5) != 0) continue;
        std::string path = std::string("/dev/input/") + entry->d_name;
        int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        unsigned long sounds = 0;
        if (ioctl(fd, EVIOCGBIT(EV_SND, sizeof sounds), &sounds) >= 0 &&
            (sounds & (1UL << SND_TONE))) {
            found = fd;
            break;
        }
        close(fd);
    }
    closedir(dir);
    return found;
}

void SendTone(int fd, unsigned frequencyHz) {
    input_event event{};
    event.type = EV_SND;
    event.code = SND_TONE;
    event.value = static_cast<int>(frequencyHz);
    // A lost tone event is not worth reporting: the beep is a courtesy.
    [[maybe_unused]] ssize_t n = write(fd, &event, sizeof event);
}

void SleepMilliseconds(unsigned ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void SystemBeep(unsigned frequencyHz, unsigned durationMs) {
    int speaker = OpenToneDevice();
    if (speaker >= 0) {
        SendTone(speaker, frequencyHz);
        SleepMilliseconds(durationMs);
        SendTone(speaker, 0);
        close(speaker);
        return;
    }
    // /dev/tty opens only when the process has a controlling terminal.
    int tty = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (tty >= 0) {
        [[maybe_unused]] ssize_t n = write(tty, "\a", 1);
        close(tty);
    }
}

}  // namespace

void Beep(unsigned frequencyHz, unsigned durationMs) {
    BeepHandler handler = currentHandler.load();
    if (handler)
        handler(frequencyHz, durationMs);
    else
        SystemBeep(frequencyHz, durationMs);
}

BeepHandler SetBeepHandler(BeepHandler handler) {
    return currentHandler.exchange(handler);
}
