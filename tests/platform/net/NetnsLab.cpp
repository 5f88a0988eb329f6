#include "tests/platform/net/NetnsLab.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sched.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kPrefix = "ornlab-";
const fs::path kNetnsEtc = "/etc/netns";

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::trunc);
    if (!(file << text).flush()) throw std::runtime_error("cannot write " + path.string());
}

void RemoveNamespace(const std::string& ns) {
    RunCommand({"ip", "netns", "del", ns});
    std::error_code ignored;
    fs::remove_all(kNetnsEtc / ns, ignored);
}

// Namespaces of a test process that was killed before it could clean up.
void RemoveStaleNamespaces() {
    std::error_code ignored;
    for (const fs::path& dir : {fs::path("/run/netns"), kNetnsEtc})
        for (const auto& entry : fs::directory_iterator(dir, ignored)) {
            const std::string name = entry.path().filename();
            const pid_t owner = name.rfind(kPrefix, 0) == 0 ? std::atoi(name.c_str() + kPrefix.size()) : 0;
            if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH) RemoveNamespace(name);
        }
}

// Runs fn on a thread of its own inside ns; false when the thread could not enter.
template <typename F>
bool RunInside(const std::string& ns, F fn) {
    bool entered = false;
    std::thread([&] {
        CEnterNamespace inside(ns);
        if ((entered = inside.Ok())) fn();
    }).join();
    return entered;
}

}  // namespace

// No time limit of its own: the test's limit kills the test, and the child with it.
CRunResult RunCommand(const std::vector<std::string>& argv) {
    CRunResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return result;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // Nothing outlives a test that is killed, so its namespaces can go.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fds[1], STDOUT_FILENO);
        dup2(open("/dev/null", O_WRONLY), STDERR_FILENO);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    char chunk[4096];
    for (ssize_t n; pid > 0 && ((n = read(fds[0], chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR));)
        result.output.append(chunk, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    close(fds[0]);
    int status = 0;
    while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string NetnsUnavailableReason() {
    if (geteuid() != 0) return "network namespaces need root";
    if (RunCommand({"ip", "-V"}).status != 0) return "iproute2's ip is not installed";
    return {};
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        if (text.compare(start, prefix.size() + 1, prefix + "\t") == 0)
            lines.push_back(text.substr(start + prefix.size() + 1, end - start - prefix.size() - 1));
    }
    return lines;
}

CEnterNamespace::CEnterNamespace(const std::string& ns) {
    home = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    ok = home >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0) close(target);
}

CEnterNamespace::~CEnterNamespace() {
    if (ok) setns(home, CLONE_NEWNET);
    if (home >= 0) close(home);
}

CNetnsLab::CNetnsLab() {
    static std::atomic<int> labs{0};
    RemoveStaleNamespaces();
    tag = kPrefix + std::to_string(getpid()) + "-" + std::to_string(labs++);
}

CNetnsLab::~CNetnsLab() {
    for (auto ns = namespaces.rbegin(); ns != namespaces.rend(); ++ns) RemoveNamespace(*ns);
    std::error_code ignored;
    if (!scratch.empty()) fs::remove_all(scratch, ignored);
}

std::string CNetnsLab::AddNamespace(const std::string& role) {
    const std::string ns = tag + "-" + role;
    namespaces.push_back(ns);
    fs::create_directories(kNetnsEtc / ns);
    WriteFile(kNetnsEtc / ns / "resolv.conf", "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n");
    WriteHosts(ns, "127.0.0.1 localhost\n");
    if (RunCommand({"ip", "netns", "add", ns}).status != 0) throw std::runtime_error("cannot add namespace " + ns);
    Run(ns, {"sysctl", "-qw", "net.ipv6.conf.all.disable_ipv6=1", "net.ipv6.conf.default.disable_ipv6=1"});
    Run(ns, {"ip", "link", "set", "lo", "up"});
    return ns;
}

std::string CNetnsLab::AddMember(const std::string& role, const std::string& cidr) {
    if (bridge.empty()) {
        bridge = AddNamespace("br");
        Run(bridge, {"ip", "link", "add", "br0", "type", "bridge"});
        Run(bridge, {"ip", "link", "set", "br0", "up"});
    }
    const std::string ns = AddNamespace(role), port = "p" + std::to_string(ports++);
    Run(bridge, {"ip", "link", "add", port, "type", "veth", "peer", "name", "e0", "netns", ns});
    Run(bridge, {"ip", "link", "set", port, "master", "br0", "up"});
    Run(ns, {"ip", "addr", "add", cidr, "dev", "e0"});
    Run(ns, {"ip", "link", "set", "e0", "up"});
    return ns;
}

void CNetnsLab::WriteHosts(const std::string& ns, const std::string& hostsText) {
    WriteFile(kNetnsEtc / ns / "hosts", hostsText);
}

void CNetnsLab::Run(const std::string& ns, const std::vector<std::string>& argv) {
    if (Exec(ns, argv).status == 0) return;
    std::string text = "failed in " + ns + ":";
    for (const std::string& a : argv) text += " " + a;
    throw std::runtime_error(text);
}

CRunResult CNetnsLab::Exec(const std::string& ns, std::vector<std::string> argv, bool unprivileged) {
    std::vector<std::string> full{"ip", "netns", "exec", ns};
    if (unprivileged) {
        // The build tree may lie where nobody may enter: run a copy.
        const std::string copy = Scratch() + "/" + fs::path(argv[0]).filename().string();
        fs::copy_file(argv[0], copy, fs::copy_options::skip_existing);
        argv[0] = copy;
        full.insert(full.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--inh-caps=-all"});
    }
    full.insert(full.end(), argv.begin(), argv.end());
    return RunCommand(full);
}

CRunResult CNetnsLab::Helper(const std::string& ns, const std::vector<std::string>& args, bool unprivileged) {
    std::vector<std::string> argv{ORN_NETLAB_HELPER, "--netns", ns};
    argv.insert(argv.end(), args.begin(), args.end());
    return Exec(ns, argv, unprivileged);
}

bool CNetnsLab::SendUdp(const std::string& ns, const std::string& address, std::uint16_t port,
                        const std::vector<std::string>& payloads) {
    bool ok = false;
    return RunInside(ns, [&] {
        const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{AF_INET, htons(port), {inet_addr(address.c_str())}, {}};
        ok = s >= 0;
        for (const std::string& p : payloads)
            ok = ok && sendto(s, p.data(), p.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
                           static_cast<ssize_t>(p.size());
        if (s >= 0) close(s);
    }) && ok;
}

const std::string& CNetnsLab::Scratch() {
    if (scratch.empty()) {
        char pattern[] = "/tmp/ornlab.XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a scratch directory");
        scratch = pattern;
        fs::permissions(scratch, fs::perms::all);
    }
    return scratch;
}

void CNetnsLab::CopyCaptureHelper(bool capable) {
    const std::string copy = Scratch() + "/orn-capture";
    // Rewriting the file also clears a capability it had.
    fs::copy_file(ORN_CAPTURE_HELPER, copy, fs::copy_options::overwrite_existing);
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    if (capable && RunCommand({"setcap", "cap_net_raw+ep", copy}).status != 0)
        throw std::runtime_error("cannot give " + copy + " cap_net_raw");
}
