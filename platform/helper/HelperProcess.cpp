#include "platform/helper/HelperProcess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef ORN_HELPER_INSTALL_PATH
#define ORN_HELPER_INSTALL_PATH "/usr/lib/orn/orn-capture"
#endif

namespace {

std::int64_t SteadyMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// A descriptor moved to kHelperDataFd + 1 or above, so that placing the
// child's descriptors never overwrites one that is still to be placed.
int AboveProtocolFds(int fd) { return fcntl(fd, F_DUPFD_CLOEXEC, kHelperDataFd + 1); }

}  // namespace

std::string LocateCaptureHelper() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path beside = exe.parent_path() / kHelperProgramName;
        struct stat info{};
        if (stat(beside.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return beside.string();
    }
    return ORN_HELPER_INSTALL_PATH;
}

CHelperProcess::~CHelperProcess() { End(0); }

int CHelperProcess::Start(const std::string& path, int dataFd) {
    End(0);
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) return errno;
    const int childControl = AboveProtocolFds(pair[1]);
    close(pair[1]);
    const int childData = dataFd >= 0 ? AboveProtocolFds(dataFd) : -1;
    if (childControl < 0 || (dataFd >= 0 && childData < 0)) {
        const int failure = errno;
        close(pair[0]);
        if (childControl >= 0) close(childControl);
        return failure;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childControl, kHelperControlFd);
    if (childData >= 0) posix_spawn_file_actions_adddup2(&actions, childData, kHelperDataFd);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, childData >= 0 ? kHelperDataFd + 1 : kHelperDataFd);
    // Whatever this process blocks or ignores, the helper starts afresh.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char name[] = "orn-capture";
    char* argv[] = {name, nullptr};
    char* envp[] = {nullptr};
    pid_t pid = -1;
    const int result = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, envp);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(childControl);
    if (childData >= 0) close(childData);
    if (result != 0) {
        close(pair[0]);
        return result;
    }
    pid_ = pid;
    control_ = pair[0];
    return 0;
}

bool CHelperProcess::Send(const HelperRequest& request) {
    if (control_ < 0) return false;
    const std::vector<std::uint8_t> bytes = EncodeRequest(request);
    return send(control_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
           static_cast<ssize_t>(bytes.size());
}

CHelperProcess::Received ReceiveHelperReport(int fd, HelperReport& report, int timeoutMs) {
    if (fd < 0) return CHelperProcess::Received::Closed;
    if (timeoutMs > 0) {
        pollfd ready{fd, POLLIN, 0};
        const int n = poll(&ready, 1, timeoutMs);
        if (n == 0 || (n < 0 && errno == EINTR)) return CHelperProcess::Received::Nothing;
    }
    std::array<std::uint8_t, kHelperMessageMax> bytes;
    iovec part{bytes.data(), bytes.size()};
    // No room for ancillary data: descriptors sent along are never installed
    // here (the kernel drops them and flags MSG_CTRUNC), and such a message
    // breaks the protocol.
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t n = recvmsg(fd, &message, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return CHelperProcess::Received::Nothing;
    const std::optional<HelperReport> parsed =
        n > 0 && !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC))
            ? ParseReport(std::span<const std::uint8_t>(bytes.data(), static_cast<std::size_t>(n)))
            : std::nullopt;
    if (!parsed) return CHelperProcess::Received::Closed;
    report = *parsed;
    return CHelperProcess::Received::Report;
}

CHelperProcess::Received CHelperProcess::Receive(HelperReport& report, int timeoutMs) {
    return ReceiveHelperReport(control_, report, timeoutMs);
}

void CHelperProcess::End(int graceMs) {
    if (pid_ > 0) {
        // The helper never closes its control socket: the hang-up is its end.
        const std::int64_t deadline = SteadyMs() + graceMs;
        bool gone = false;
        while (control_ >= 0 && !gone) {
            const std::int64_t left = deadline - SteadyMs();
            if (left <= 0) break;
            pollfd ready{control_, POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
            char drain[kHelperMessageMax];
            const ssize_t n = recv(control_, drain, sizeof drain, MSG_DONTWAIT);
            gone = n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR);
        }
        if (!gone) kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    if (control_ >= 0) close(control_);
    control_ = -1;
}
