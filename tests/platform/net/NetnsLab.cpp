#include "tests/platform/net/NetnsLab.h"

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kPrefix = "ornscan-";
const std::filesystem::path kNetnsEtc = "/etc/netns";

pid_t Spawn(const std::vector<std::string>& argv, int& outputFd, bool quiet = false)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // Nothing outlives a test that is killed, so its namespaces can go.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fds[1], STDOUT_FILENO);
        if (quiet) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return -1;
    }
    outputFd = fds[0];
    return pid;
}

// A killed process may linger as a zombie until its parent reaps it.
bool ProcessAlive(pid_t pid)
{
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() ||
           (line[paren + 2] != 'Z' && line[paren + 2] != 'X');
}

// Namespaces left by a test process that was killed before it could clean up.
void RemoveStaleNamespaces()
{
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", ignored)) {
        const std::string name = entry.path().filename();
        if (name.rfind(kPrefix, 0) != 0)
            continue;
        const pid_t owner = std::atoi(name.c_str() + kPrefix.size());
        if (owner <= 0 || ProcessAlive(owner))
            continue;
        RunCommand({"ip", "netns", "del", name}, 60, true);
        std::filesystem::remove_all(kNetnsEtc / name, ignored);
    }
}

void WriteFile(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream file(path, std::ios::trunc);
    file << text;
    if (!file.flush())
        throw std::runtime_error("cannot write " + path.string());
}

std::string Join(const std::vector<std::string>& argv)
{
    std::string text;
    for (const std::string& a : argv)
        text += (text.empty() ? "" : " ") + a;
    return text;
}

}  // namespace

CRunResult RunCommand(const std::vector<std::string>& argv, int timeoutSeconds, bool quiet)
{
    CRunResult result;
    int fd = -1;
    const pid_t pid = Spawn(argv, fd, quiet);
    if (pid < 0)
        return result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char chunk[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0) {
            kill(pid, SIGKILL);
            break;
        }
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.output.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string NetnsUnavailableReason()
{
    if (geteuid() != 0)
        return "network namespaces need root";
    if (RunCommand({"ip", "-V"}).status != 0)
        return "iproute2's ip is not installed";
    return {};
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind(prefix + "\t", 0) == 0)
            lines.push_back(line.substr(prefix.size() + 1));
        start = end + 1;
    }
    return lines;
}

CNetnsLab::CNetnsLab()
{
    static std::atomic<int> labs{0};
    RemoveStaleNamespaces();
    tag = kPrefix + std::to_string(getpid()) + "-" + std::to_string(labs++);
    bridge = tag + "-br";
    namespaces.push_back(bridge);
    try {
        if (RunCommand({"ip", "netns", "add", bridge}).status != 0)
            throw std::runtime_error("cannot add namespace " + bridge);
        Run(bridge, {"ip", "link", "add", "br0", "type", "bridge"});
        Run(bridge, {"ip", "link", "set", "br0", "up"});
    } catch (...) {
        RemoveAll();
        throw;
    }
}

CNetnsLab::~CNetnsLab()
{
    RemoveAll();
}

void CNetnsLab::RemoveAll()
{
    for (const pid_t pid : responders) {
        kill(pid, SIGTERM);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    std::error_code ignored;
    for (auto ns = namespaces.rbegin(); ns != namespaces.rend(); ++ns) {
        RunCommand({"ip", "netns", "del", *ns}, 60, true);
        std::filesystem::remove_all(kNetnsEtc / *ns, ignored);
    }
    responders.clear();
    namespaces.clear();
}

std::string CNetnsLab::AddMember(const std::string& role, const std::string& cidr)
{
    const std::string ns = tag + "-" + role;
    const std::string port = "p" + std::to_string(ports++);
    namespaces.push_back(ns);
    std::filesystem::create_directories(kNetnsEtc / ns);
    WriteFile(kNetnsEtc / ns / "resolv.conf", "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n");
    WriteHosts(ns, "127.0.0.1 localhost\n");
    if (RunCommand({"ip", "netns", "add", ns}).status != 0)
        throw std::runtime_error("cannot add namespace " + ns);
    Run(bridge, {"ip", "link", "add", port, "type", "veth", "peer", "name", "e0", "netns", ns});
    Run(bridge, {"ip", "link", "set", port, "master", "br0", "up"});
    Run(ns, {"ip", "addr", "add", cidr, "dev", "e0"});
    Run(ns, {"ip", "link", "set", "e0", "up"});
    Run(ns, {"ip", "link", "set", "lo", "up"});
    return ns;
}

void CNetnsLab::WriteHosts(const std::string& ns, const std::string& hostsText)
{
    WriteFile(kNetnsEtc / ns / "hosts", hostsText);
}

void CNetnsLab::SetSysctl(const std::string& ns, const std::string& key, const std::string& value)
{
    Run(ns, {"sysctl", "-q", "-w", key + "=" + value});
}

void CNetnsLab::Run(const std::string& ns, const std::vector<std::string>& argv)
{
    std::vector<std::string> full{"ip", "netns", "exec", ns};
    full.insert(full.end(), argv.begin(), argv.end());
    if (RunCommand(full).status != 0)
        throw std::runtime_error("failed: " + Join(full));
}

CRunResult CNetnsLab::Helper(const std::string& ns, const std::vector<std::string>& args,
                             bool unprivileged)
{
    std::vector<std::string> full{"ip", "netns", "exec", ns};
    if (unprivileged)
        full.insert(full.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                 "--inh-caps=-all"});
    full.insert(full.end(), {ORN_NETLAB_HELPER, "--netns", ns});
    full.insert(full.end(), args.begin(), args.end());
    return RunCommand(full);
}

std::string CNetnsLab::MakeSlow(const std::string& ns, int delayMs)
{
    const std::string delay = std::to_string(delayMs) + "ms";
    if (RunCommand({"ip", "netns", "exec", ns, "tc", "qdisc", "add", "dev", "e0", "root", "netem",
                    "delay", delay},
                   10, true)
            .status == 0)
        return "netem";
    SetSysctl(ns, "net.ipv4.icmp_echo_ignore_all", "1");
    int fd = -1;
    const pid_t pid = Spawn({"ip", "netns", "exec", ns, ORN_NETLAB_HELPER, "--netns", ns,
                             "respond", std::to_string(delayMs), "120"},
                            fd);
    if (pid < 0)
        return {};
    responders.push_back(pid);
    // Wait until its socket is open.
    std::string said;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (said.find("ready\n") == std::string::npos && poll(&p, 1, 5000) > 0 && read(fd, &c, 1) == 1)
        said += c;
    close(fd);
    return said.find("ready\n") != std::string::npos ? "responder" : "";
}
