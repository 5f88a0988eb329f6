#include "platform/capture/ReplacementFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kTemporaryInfix[] = ".orn-";

// A name in the target's directory that nobody else uses: ".NAME.orn-PID-N-NS".
std::string TemporaryName(const std::string& base) {
    static std::atomic<unsigned> counter{0};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "%s%ld-%u-%ld", kTemporaryInfix, static_cast<long>(getpid()), counter++,
                  static_cast<long>(now.tv_nsec));
    return "." + base + suffix;
}

// Temporaries of this target, of this user, that nobody wrote for a while.
void RemoveStaleTemporaries(int dirFd, const std::string& base) {
    const int listFd = dup(dirFd);
    if (listFd < 0) return;
    DIR* entries = fdopendir(listFd);
    if (!entries) {
        close(listFd);
        return;
    }
    const std::string prefix = "." + base + kTemporaryInfix;
    const std::time_t before = std::time(nullptr) - CReplacementFile::kStaleSeconds;
    while (const dirent* entry = readdir(entries)) {
        struct stat info{};
        if (std::string_view(entry->d_name).starts_with(prefix) &&
            fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == geteuid() && info.st_mtime < before)
            unlinkat(dirFd, entry->d_name, 0);
    }
    closedir(entries);
}

}  // namespace

CReplacementFile::~CReplacementFile() { Discard(); }

int CReplacementFile::Open(const std::string& path) {
    Discard();
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    base_ = slash == std::string::npos ? path : path.substr(slash + 1);
    dirFd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) return errno;
    struct stat target{};
    if (fstatat(dirFd_, base_.c_str(), &target, 0) == 0 && !S_ISREG(target.st_mode)) {
        Discard();
        return kNotRegular;
    }
    RemoveStaleTemporaries(dirFd_, base_);
    fd_ = openat(dirFd_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    // Commit names the unnamed file through /proc. Without it (a chroot, a bare
    // container) only some kernels or a capability could, and what was
    // written would be lost: a named temporary from the start instead.
    struct stat self{};
    if (fd_ >= 0 && fstatat(AT_FDCWD, ("/proc/self/fd/" + std::to_string(fd_)).c_str(), &self, 0) != 0) {
        close(fd_);
        fd_ = -1;
    }
    // No O_TMPFILE on this file system: a named temporary, made exclusively.
    for (unsigned attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        temp_ = TemporaryName(base_);
        fd_ = openat(dirFd_, temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
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
        const ssize_t n = write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int CReplacementFile::Commit(bool& placing) {
    placing = false;
    int error = fd_ < 0 ? EBADF : fsync(fd_) != 0 ? errno : 0;
    // The unnamed file gets a temporary name first: a link cannot replace.
    if (error == 0 && temp_.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        error = EEXIST;
        for (unsigned attempt = 0; error == EEXIST && attempt < 100; ++attempt) {
            const std::string name = TemporaryName(base_);
            error = linkat(AT_FDCWD, self.c_str(), dirFd_, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
            if (error == ENOENT)  // no /proc: only with the capability to link any descriptor
                error = linkat(fd_, "", dirFd_, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
            if (error == 0) temp_ = name;
        }
        placing = error != 0;
    }
    if (error == 0) {
        const int closed = close(fd_);
        fd_ = -1;
        if (closed != 0) error = errno;
    }
    if (error == 0) {
        placing = true;
        if (renameat(dirFd_, temp_.c_str(), dirFd_, base_.c_str()) != 0) error = errno;
    }
    if (error != 0) {
        Discard();
        return error;
    }
    temp_.clear();
    // The new name to the disk as well; a failure here loses nothing written.
    fsync(dirFd_);
    Discard();
    return 0;
}

void CReplacementFile::Discard() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temp_.empty() && dirFd_ >= 0) unlinkat(dirFd_, temp_.c_str(), 0);
    temp_.clear();
    if (dirFd_ >= 0) close(dirFd_);
    dirFd_ = -1;
}
