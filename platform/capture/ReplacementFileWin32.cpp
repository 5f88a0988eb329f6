// The replacement file on Windows: a hidden temporary beside the target,
// renamed over it once whole (MoveFileEx replaces, and writes through).
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <string_view>

#include "platform/capture/ReplacementFile.h"
#include "platform/win32/WideText.h"

namespace {

constexpr char kTemporaryInfix[] = ".orn-";

std::string TemporaryName(const std::string& base) {
    static std::atomic<unsigned> counter{0};
    return "." + base + kTemporaryInfix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) +
           "-" + std::to_string(GetTickCount64());
}

int ErrnoOf(DWORD code) {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    default: return EIO;
    }
}

// Temporaries of this target that nobody wrote for a while.
void RemoveStaleTemporaries(const std::wstring& dir, const std::string& base) {
    const std::wstring prefix = WideText("." + base + kTemporaryInfix);
    WIN32_FIND_DATAW entry{};
    const HANDLE found = FindFirstFileW((dir + prefix + L"*").c_str(), &entry);
    if (found == INVALID_HANDLE_VALUE) return;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    const ULONGLONG stale = ULONGLONG(CReplacementFile::kStaleSeconds) * 10000000ull;
    do {
        if (!(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
            ticks(now) - ticks(entry.ftLastWriteTime) > stale)
            DeleteFileW((dir + entry.cFileName).c_str());
    } while (FindNextFileW(found, &entry));
    FindClose(found);
}

}  // namespace

CReplacementFile::~CReplacementFile() { Discard(); }

// base_ holds the target's whole path and temp_ the temporary's; the
// directory needs no handle of its own here.
int CReplacementFile::Open(const std::string& path) {
    Discard();
    const std::size_t slash = path.find_last_of("/\\");
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)))
        return kNotRegular;
    RemoveStaleTemporaries(WideText(dir), base);
    base_ = path;
    for (unsigned attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        temp_ = dir + TemporaryName(base);
        fd_ = _wopen(WideText(temp_).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                     _S_IREAD | _S_IWRITE);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temp_.clear();
        Discard();
        return error;
    }
    return 0;
}

int CReplacementFile::Write(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
        const int n = _write(fd_, p, chunk);
        if (n <= 0) return n < 0 ? errno : EIO;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int CReplacementFile::Commit(bool& placing) {
    placing = false;
    int error = fd_ < 0 ? EBADF : _commit(fd_) != 0 ? errno : 0;
    if (error == 0) {
        const int closed = _close(fd_);
        fd_ = -1;
        if (closed != 0) error = errno;
    }
    if (error == 0) {
        placing = true;
        if (!MoveFileExW(WideText(temp_).c_str(), WideText(base_).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = ErrnoOf(GetLastError());
    }
    if (error != 0) {
        Discard();
        return error;
    }
    temp_.clear();
    Discard();
    return 0;
}

void CReplacementFile::Discard() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
    if (!temp_.empty()) DeleteFileW(WideText(temp_).c_str());
    temp_.clear();
}
