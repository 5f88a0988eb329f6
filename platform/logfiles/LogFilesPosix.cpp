#include "platform/logfiles/LogFiles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

std::string UserName(uid_t uid) {
    const passwd* account = getpwuid(uid);
    const std::string number = "uid " + std::to_string(uid);
    return account ? std::string(account->pw_name) + " (" + number + ")" : number;
}

// Completes interrupted writes and waits for room on a non-blocking stream;
// a short write is returned as it is, for the caller to go on.
long long WriteDescriptor(int fd, const LogPiece* pieces, int count, std::string& error) {
    iovec vector[8];
    count = std::min(count, 8);
    for (int i = 0; i < count; ++i) vector[i] = {const_cast<void*>(pieces[i].data), pieces[i].length};
    for (;;) {
        const ssize_t n = writev(fd, vector, count);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd pfd{fd, POLLOUT, 0};
            if (poll(&pfd, 1, -1) >= 0 || errno == EINTR) continue;
        }
        error = std::strerror(errno);
        return -1;
    }
}

class CFileOutput final : public ILogOutput {
public:
    explicit CFileOutput(int fd) : fd_(fd) {}
    ~CFileOutput() override { close(fd_); }
    long long Write(const LogPiece* pieces, int count, std::string& error) override {
        return WriteDescriptor(fd_, pieces, count, error);
    }
    bool CutBack(std::uint64_t length, std::string& error) override {
        const off_t at = static_cast<off_t>(length);
        if (ftruncate(fd_, at) == 0 && lseek(fd_, at, SEEK_SET) == at) return true;
        error = std::strerror(errno);
        return false;
    }

private:
    int fd_;
};

class CStreamOutput final : public ILogOutput {
public:
    explicit CStreamOutput(int fd) : fd_(fd) {}
    long long Write(const LogPiece* pieces, int count, std::string& error) override {
        return WriteDescriptor(fd_, pieces, count, error);
    }
    bool CutBack(std::uint64_t, std::string&) override { return true; }

private:
    int fd_;
};

class CFolder final : public ILogFolder {
public:
    explicit CFolder(int fd) : fd_(fd) {}
    ~CFolder() override { close(fd_); }

    std::unique_ptr<ILogOutput> MakeFile(const std::string& name, Made& made, std::string& error) override {
        made = Made::Failed;
        const int fd = openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) made = Made::NameTaken;
            error = std::strerror(errno);
            return nullptr;
        }
        struct stat made_{};
        if (fstat(fd, &made_) != 0 || !S_ISREG(made_.st_mode) || made_.st_nlink != 1 || made_.st_uid != geteuid()) {
            close(fd);
            error = "the new file is not a private file of ours";
            return nullptr;
        }
        made = Made::Yes;
        return std::make_unique<CFileOutput>(fd);
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<ILogFolder> OpenLogFolder(const std::string& path, bool makeParents, std::string& error) {
    if (path.empty()) {
        error = "no directory";
        return nullptr;
    }
    // The parents along the way, then the folder itself; what cannot be made
    // is the reason when the folder then cannot be opened.
    std::string made;
    for (std::size_t at = makeParents ? path.find('/', 1) : std::string::npos;; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST && made.empty())
            made = part + ": " + std::strerror(errno);
        if (at == std::string::npos) break;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat link{};
        if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            error = path + ": a symbolic link, not a directory";
        else if (errno == ENOENT && !made.empty())
            error = made;
        else
            error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat folder{};
    if (fstat(fd, &folder) != 0 || folder.st_uid != geteuid()) {
        error = path + ": belongs to " + UserName(folder.st_uid) + ", not to " + UserName(geteuid()) +
                "; logs go only to a directory of your own";
        close(fd);
        return nullptr;
    }
    return std::make_unique<CFolder>(fd);
}

std::unique_ptr<ILogOutput> LogStreamOutput(int descriptor) { return std::make_unique<CStreamOutput>(descriptor); }

LogPlaceFacts GatherLogPlaceFacts() {
    LogPlaceFacts facts;
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        facts.exeDirectory.assign(exe, static_cast<std::size_t>(n));
        facts.exeDirectory.erase(facts.exeDirectory.find_last_of('/'));
        struct stat directory{};
        facts.exeDirectoryOurs = access(facts.exeDirectory.c_str(), W_OK) == 0 &&
                                 stat(facts.exeDirectory.c_str(), &directory) == 0 && directory.st_uid == geteuid();
    }
    facts.stateHome = std::getenv("XDG_STATE_HOME");
    facts.home = std::getenv("HOME");
    const uid_t self = geteuid();
    if (const passwd* account = getpwuid(self)) facts.accountHome = account->pw_dir;
    if (self == 0) {
        for (const char* place : {facts.home, facts.stateHome}) {
            struct stat owner{};
            if (place && place[0] == '/' && stat(place, &owner) == 0 && owner.st_uid != 0) facts.environmentOfOthers = true;
        }
    }
    return facts;
}
