#pragma once
// Network namespaces that a test builds for itself: one bridge namespace and
// member namespaces joined to it by veth pairs. Everything is named after the
// test's PID and removed when the lab goes, also when the test fails.

#include <string>
#include <sys/types.h>
#include <vector>

struct CRunResult {
    int status = -1;     // exit status, -1 when the program did not exit normally
    std::string output;  // standard output
};

// Runs argv without a shell; kills it after timeoutSeconds. Quiet drops its
// standard error, for commands whose failure is an expected answer.
CRunResult RunCommand(const std::vector<std::string>& argv, int timeoutSeconds = 60,
                      bool quiet = false);

// Why namespace tests cannot run on this machine, or empty when they can.
std::string NetnsUnavailableReason();

// The lines of text that start with prefix followed by a tab, without the prefix.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix);

class CNetnsLab {
public:
    CNetnsLab();  // throws std::runtime_error when the bridge cannot be made
    ~CNetnsLab();
    CNetnsLab(const CNetnsLab&) = delete;
    CNetnsLab& operator=(const CNetnsLab&) = delete;

    // A namespace joined to the bridge: cidr on its e0, e0 and lo up, and its
    // resolver pointed at 127.0.0.1 before anything runs inside it.
    std::string AddMember(const std::string& role, const std::string& cidr);
    // Writes /etc/netns/NS/hosts (resolv.conf stays at 127.0.0.1).
    void WriteHosts(const std::string& ns, const std::string& hostsText);
    void SetSysctl(const std::string& ns, const std::string& key, const std::string& value);
    // ip netns exec ns argv; throws when it fails.
    void Run(const std::string& ns, const std::vector<std::string>& argv);
    // The test helper inside ns, as root or as nobody:nogroup without privileges.
    CRunResult Helper(const std::string& ns, const std::vector<std::string>& args,
                      bool unprivileged = false);
    // Makes ns answer echo requests delayMs late: netem where the kernel has
    // it, else the kernel stays silent and a helper answers late. Returns how,
    // or empty when neither is possible.
    std::string MakeSlow(const std::string& ns, int delayMs);

private:
    void RemoveAll();

    std::string tag;
    std::string bridge;
    std::vector<std::string> namespaces;
    std::vector<pid_t> responders;
    int ports = 0;
};
