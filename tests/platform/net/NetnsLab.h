#pragma once
// Network namespaces that a test builds for itself: member namespaces joined
// by veth pairs to a bridge namespace, with addresses that exist only inside
// them and name look-ups answered by each namespace's own hosts file. Names
// carry the test's PID; everything goes with the lab, also when the test
// fails, and what a killed test left behind goes with the next lab.

#include <cstdint>
#include <string>
#include <vector>

struct CRunResult {
    int status = -1;     // exit status, -1 when the program did not exit normally
    std::string output;  // standard output
};

// Runs argv without a shell, its standard error dropped.
CRunResult RunCommand(const std::vector<std::string>& argv);

// Why namespace tests cannot run on this machine, or empty when they can.
std::string NetnsUnavailableReason();
#define SKIP_WITHOUT_NAMESPACES()                                       \
    if (const std::string why = NetnsUnavailableReason(); !why.empty()) \
    GTEST_SKIP() << why

// The lines of text that start with prefix and a tab, without them.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix);

// Moves the calling thread into namespace ns until destruction; the threads
// it starts meanwhile live there too.
class CEnterNamespace {
public:
    explicit CEnterNamespace(const std::string& ns);
    ~CEnterNamespace();
    CEnterNamespace(const CEnterNamespace&) = delete;
    CEnterNamespace& operator=(const CEnterNamespace&) = delete;
    bool Ok() const { return ok; }

private:
    int home = -1;
    bool ok = false;
};

// Every method that builds throws std::runtime_error when a step fails.
class CNetnsLab {
public:
    CNetnsLab();
    ~CNetnsLab();
    CNetnsLab(const CNetnsLab&) = delete;
    CNetnsLab& operator=(const CNetnsLab&) = delete;

    // A namespace with lo up and IPv6 off, so that its links stay quiet, whose
    // resolver asks 127.0.0.1 and whose hosts file knows only localhost, both
    // written before anything runs inside it.
    std::string AddNamespace(const std::string& role);
    // Such a namespace joined to the bridge: cidr on its e0, which is up.
    std::string AddMember(const std::string& role, const std::string& cidr);
    void WriteHosts(const std::string& ns, const std::string& hostsText);
    // ip netns exec ns argv; throws when it fails.
    void Run(const std::string& ns, const std::vector<std::string>& argv);
    // argv inside ns, as root or as nobody:nogroup without capabilities.
    CRunResult Exec(const std::string& ns, std::vector<std::string> argv, bool unprivileged = false);
    // The test helper program inside ns.
    CRunResult Helper(const std::string& ns, const std::vector<std::string>& args,
                      bool unprivileged = false);
    // One UDP datagram per payload from ns to address:port; false when a send failed.
    bool SendUdp(const std::string& ns, const std::string& address, std::uint16_t port,
                 const std::vector<std::string>& payloads);
    // A directory every user may write to.
    const std::string& Scratch();
    // A copy of the capture helper in Scratch(), where the programs that
    // Exec runs unprivileged find it beside them; with cap_net_raw or
    // without any capability.
    void CopyCaptureHelper(bool capable);

private:
    std::string tag, bridge, scratch;
    std::vector<std::string> namespaces;
    int ports = 0;
};
