#include "platform/win32/posix/PosixShim.h"
#include "platform/win32/posix/poll.h"

#include <cerrno>
#include <cstring>
#include <direct.h>
#include <string>
#include <windows.h>

#include "platform/win32/WideText.h"

#undef rename

// No descriptor flag means anything here: O_NONBLOCK is never set.
int fcntl(int, int, ...) { return 0; }

int fsync(int fd) { return _commit(fd); }

int mkdir(const char* path, int) {
    return CreateDirectoryW(WideText(path).c_str(), nullptr) ? 0 : (errno = EEXIST, -1);
}

pid_t gettid() { return static_cast<pid_t>(GetCurrentThreadId()); }

char* mkdtemp(char* pattern) {
    const std::size_t length = std::strlen(pattern);
    if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) return errno = EINVAL, nullptr;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        unsigned long long seed = GetTickCount64() * 2654435761u + GetCurrentProcessId() * 40503u + attempt;
        for (std::size_t i = length - 6; i < length; ++i, seed /= 36) pattern[i] = letters[seed % 36];
        if (CreateDirectoryW(WideText(pattern).c_str(), nullptr)) return pattern;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    errno = EEXIST;
    return nullptr;
}

int orn_rename(const char* from, const char* to) {
    if (MoveFileExW(WideText(from).c_str(), WideText(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
    return -1;
}

ssize_t writev(int fd, const iovec* vector, int count) {
    ssize_t total = 0;
    for (int i = 0; i < count; ++i) {
        const char* p = static_cast<const char*>(vector[i].iov_base);
        std::size_t left = vector[i].iov_len;
        while (left > 0) {
            const unsigned chunk = left > 0x40000000u ? 0x40000000u : static_cast<unsigned>(left);
            const int n = _write(fd, p, chunk);
            if (n <= 0) return total > 0 ? total : -1;
            total += n;
            p += n;
            left -= static_cast<std::size_t>(n);
            if (static_cast<unsigned>(n) < chunk) return total;  // short: the caller goes on from here
        }
    }
    return total;
}

int orn_poll(orn_pollfd* fds, unsigned long count, int) {
    for (unsigned long i = 0; i < count; ++i) fds[i].revents = fds[i].events;
    return static_cast<int>(count);
}

int getpriority(int, id_t) {
    // Win32 levels as nice values: below normal is a higher nice value.
    const int level = GetThreadPriority(GetCurrentThread());
    return level == THREAD_PRIORITY_ERROR_RETURN ? (errno = ESRCH, -1) : -level * 5;
}

int setpriority(int, id_t, int value) {
    // Only the calling thread, which is how the project uses it.
    const int level = value >= 15 ? THREAD_PRIORITY_LOWEST : value > 0 ? THREAD_PRIORITY_BELOW_NORMAL
                                                                        : THREAD_PRIORITY_NORMAL;
    return SetThreadPriority(GetCurrentThread(), level) ? 0 : -1;
}

void* mmap(void*, std::size_t length, int, int, int, off_t) {
    void* pages = VirtualAlloc(nullptr, length, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    return pages ? pages : MAP_FAILED;
}

int munmap(void* address, std::size_t) { return VirtualFree(address, 0, MEM_RELEASE) ? 0 : -1; }
