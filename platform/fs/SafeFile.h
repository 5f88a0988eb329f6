#pragma once
// Files in directories that other users may write (a group's shared
// directory, a user's own directory while the program runs as somebody
// else): reached through a descriptor of the directory, never through a
// link, created only new and with an explicit mode, and checked after
// opening. A name in such a directory can be swapped for a link to anything
// between a check and a use; a descriptor cannot.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace orn::fs {

// An owned descriptor, closed when it goes.
class CFd {
public:
    CFd() = default;
    explicit CFd(int fd) : fd_(fd) {}
    CFd(CFd&& other) noexcept : fd_(other.Release()) {}
    CFd& operator=(CFd&& other) noexcept;
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    ~CFd();

    int Get() const { return fd_; }
    int Release();
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

inline constexpr uid_t kAnyOwner = static_cast<uid_t>(-1);

// The directory at path, itself and not a link to one (O_DIRECTORY |
// O_NOFOLLOW), open for reading so that it can be locked and synced. Invalid
// with errno set when it cannot be opened.
CFd OpenDirectory(const std::string& path);

// Whether fd is a regular file with a single link, owned by owner (any owner
// for kAnyOwner); errno EINVAL, EMLINK or EPERM when not. A second link may
// be a file of somebody else's, linked in by whoever may write the directory.
bool IsLoneFile(int fd, uid_t owner);

// An existing file of dir for reading: not through a link (ELOOP), without
// blocking on a FIFO, and a lone file as above.
CFd OpenExisting(int dirFd, const std::string& name, uid_t owner);

// A new file of dir for writing, created exclusively (EEXIST when the name is
// taken by anything, a link included) with exactly mode, whatever the umask,
// and group (kept for gid_t(-1)); checked to be this user's lone file.
CFd CreateNew(int dirFd, const std::string& name, mode_t mode, gid_t group = static_cast<gid_t>(-1));

// All of bytes; false with errno (ENOSPC for a write that wrote nothing).
bool WriteAll(int fd, std::string_view bytes);

// The running user's directory for an XDG base variable: $variable when it
// is absolute, else $HOME/belowHome; empty without any home. A base that
// exists but is not the running user's own (sudo keeping the caller's HOME
// or XDG variables) gives way to the home that the password database gives
// the effective user: root never works in the caller's directories.
std::string OwnUserDirectory(const char* variable, const char* belowHome);

}  // namespace orn::fs
