#include "platform/fs/SafeFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace orn::fs {

CFd& CFd::operator=(CFd&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

CFd::~CFd()
{
    if (fd_ >= 0)
        ::close(fd_);
}

int CFd::Release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

CFd OpenDirectory(const std::string& path)
{
    return CFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool IsLoneFile(int fd, uid_t owner)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    errno = !S_ISREG(st.st_mode) ? EINVAL : st.st_nlink != 1 ? EMLINK : owner != kAnyOwner && st.st_uid != owner ? EPERM : 0;
    return errno == 0;
}

CFd OpenExisting(int dirFd, const std::string& name, uid_t owner)
{
    // Nothing but a regular file is even opened: opening a device may act.
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return CFd();
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISLNK(st.st_mode) ? ELOOP : EINVAL;
        return CFd();
    }
    CFd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd && !IsLoneFile(fd.Get(), owner))
        return CFd();
    return fd;
}

CFd CreateNew(int dirFd, const std::string& name, mode_t mode, gid_t group)
{
    CFd fd(::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 0600));
    if (!fd)
        return fd;
    // The file is this call's own from here on: the group first, as changing
    // it may clear bits that the mode then sets.
    if (!IsLoneFile(fd.Get(), ::geteuid()) ||
        (group != static_cast<gid_t>(-1) && ::fchown(fd.Get(), static_cast<uid_t>(-1), group) != 0 && errno != EPERM) ||
        ::fchmod(fd.Get(), mode) != 0) {
        const int error = errno;
        ::unlinkat(dirFd, name.c_str(), 0);
        errno = error;
        return CFd();
    }
    return fd;
}

bool WriteAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

namespace {

// Whether path may serve as the running user's base: missing (it will be
// made as this user), or a directory of this user's.
bool OwnOrMissing(const char* path)
{
    struct stat st {};
    if (::stat(path, &st) != 0)
        return errno == ENOENT;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

}  // namespace

std::string OwnUserDirectory(const char* variable, const char* belowHome)
{
    if (const char* base = std::getenv(variable); base && base[0] == '/' && OwnOrMissing(base))
        return base;
    if (const char* home = std::getenv("HOME"); home && home[0] == '/' && OwnOrMissing(home))
        return std::string(home) + "/" + belowHome;
    passwd entry {};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir[0] == '/')
        return std::string(found->pw_dir) + "/" + belowHome;
    return {};
}

}  // namespace orn::fs
