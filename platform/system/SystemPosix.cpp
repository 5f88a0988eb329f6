#include "platform/system/System.h"

#include <algorithm>
#include <cerrno>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The lowest thread priority, as a nice increase of the capture thread alone
// (on Linux the nice value is per thread). Raising it needs no privilege.
constexpr int kLowestPriorityNiceIncrease = 3;

}  // namespace

void LowerCurrentThreadPriority() {
    const pid_t self = gettid();
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(self));
    if (nice == -1 && errno != 0) return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(self), std::min(nice + kLowestPriorityNiceIncrease, 19));
}

void* MapPages(std::size_t size) {
    void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
}

void UnmapPages(void* pages, std::size_t size) { munmap(pages, size); }

bool LocalTime(std::time_t when, std::tm& local) { return localtime_r(&when, &local) != nullptr; }

bool WriteToDescriptor(int fd, const void* bytes, std::size_t size) {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool IsTerminal(int fd) { return isatty(fd) == 1; }
