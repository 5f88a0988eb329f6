#include <windows.h>
#include <io.h>

#include "platform/system/System.h"

void LowerCurrentThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

void* MapPages(std::size_t size) { return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void UnmapPages(void* pages, std::size_t) { VirtualFree(pages, 0, MEM_RELEASE); }

bool LocalTime(std::time_t when, std::tm& local) { return localtime_s(&local, &when) == 0; }

bool WriteToDescriptor(int fd, const void* bytes, std::size_t size) {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
        const int n = _write(fd, p, chunk);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool IsTerminal(int fd) { return _isatty(fd) != 0; }
