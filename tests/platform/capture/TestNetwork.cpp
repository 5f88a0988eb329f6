#include "tests/platform/capture/TestNetwork.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr char kPrefix[] = "orntest-";

// Namespaces named orntest-PID-... whose process is gone were left by a
// test that died before its guards ran.
void RemoveAbandonedNamespaces() {
    DIR* dir = opendir("/run/netns");
    if (!dir) return;
    std::vector<std::string> stale;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.rfind(kPrefix, 0) != 0) continue;
        long pid = std::strtol(name.c_str() + sizeof kPrefix - 1, nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : stale) RunQuietly("ip netns del " + name);
}

std::atomic<unsigned> sequence{0};

}  // namespace

bool RunQuietly(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

CTestNamespace::CTestNamespace(const std::string& role) {
    if (sequence == 0) RemoveAbandonedNamespaces();
    name_ = kPrefix + std::to_string(getpid()) + "-" + std::to_string(sequence++) + "-" + role;
    ok_ = RunQuietly("ip netns add " + name_) && RunQuietly("ip -n " + name_ + " link set lo up");
}

CTestNamespace::~CTestNamespace() { RunQuietly("ip netns del " + name_); }

bool CTestNamespace::Exec(const std::string& command) const {
    return RunQuietly("ip netns exec " + name_ + " " + command);
}

CTestLink::CTestLink() {
    if (!a.Ok() || !b.Ok()) return;
    std::string net = "10.200." + std::to_string(getpid() % 250 + 1) + ".";
    addressA = net + "1";
    addressB = net + "2";
    inet_pton(AF_INET, addressA.c_str(), &addressAValue);
    inet_pton(AF_INET, addressB.c_str(), &addressBValue);
    const std::string quiet =
        "sh -c 'echo 1 >/proc/sys/net/ipv6/conf/all/disable_ipv6 && echo 1 >/proc/sys/net/ipv6/conf/default/disable_ipv6'";
    ok_ = a.Exec(quiet) && b.Exec(quiet) &&
          RunQuietly("ip -n " + a.Name() + " link add va type veth peer name vb netns " + b.Name()) &&
          RunQuietly("ip -n " + a.Name() + " addr add " + addressA + "/24 dev va") &&
          RunQuietly("ip -n " + b.Name() + " addr add " + addressB + "/24 dev vb") &&
          RunQuietly("ip -n " + a.Name() + " link set va up") &&
          RunQuietly("ip -n " + b.Name() + " link set vb up");
}

CEnterNamespace::CEnterNamespace(const std::string& name) {
    home_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    int target = open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    ok_ = home_ >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0) close(target);
}

CEnterNamespace::~CEnterNamespace() {
    if (home_ >= 0) {
        if (ok_) setns(home_, CLONE_NEWNET);
        close(home_);
    }
}

bool SendUdpFrom(const std::string& ns, const std::string& address, std::uint16_t port,
                 const std::vector<std::string>& payloads) {
    bool ok = false;
    std::thread sender([&] {
        CEnterNamespace inside(ns);
        if (!inside.Ok()) return;
        int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s < 0) return;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &to.sin_addr);
        ok = true;
        for (const std::string& payload : payloads) {
            if (sendto(s, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) !=
                static_cast<ssize_t>(payload.size()))
                ok = false;
        }
        close(s);
    });
    sender.join();
    return ok;
}
