#include "platform/win32/posix/PosixShim.h"

#include <cerrno>
#include <cstring>
#include <windows.h>

#include "platform/win32/WideText.h"

// No descriptor flag means anything here: O_NONBLOCK is never set.
int fcntl(int, int, ...) { return 0; }

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
