#pragma once
// Private networks for tests that send or capture traffic: network namespaces
// made by the test, joined by veth pairs, with addresses that exist only
// inside them. Every namespace is removed when its guard goes, and ones left
// behind by a test process that died are removed by the next one.

#include <cstdint>
#include <string>
#include <vector>

// Runs a shell command quietly; true when it exits with 0.
bool RunQuietly(const std::string& command);

// One namespace, removed at destruction. Its loopback is up.
class CTestNamespace {
public:
    explicit CTestNamespace(const std::string& role);
    ~CTestNamespace();
    CTestNamespace(const CTestNamespace&) = delete;
    CTestNamespace& operator=(const CTestNamespace&) = delete;

    bool Ok() const { return ok_; }
    const std::string& Name() const { return name_; }
    // Runs a command inside the namespace ("ip netns exec").
    bool Exec(const std::string& command) const;

private:
    std::string name_;
    bool ok_ = false;
};

// Two namespaces, "a" and "b", joined by veth "va" <-> "vb" with
// 10.200.N.1/24 on va and 10.200.N.2/24 on vb, everything up, IPv6 off so
// the link stays quiet.
class CTestLink {
public:
    CTestLink();
    bool Ok() const { return ok_; }

    CTestNamespace a{"a"};
    CTestNamespace b{"b"};
    std::string addressA, addressB;  // dotted
    std::uint32_t addressAValue = 0, addressBValue = 0;  // network byte order

private:
    bool ok_ = false;
};

// Moves the calling thread into a namespace until destruction.
class CEnterNamespace {
public:
    explicit CEnterNamespace(const std::string& name);
    ~CEnterNamespace();
    CEnterNamespace(const CEnterNamespace&) = delete;
    CEnterNamespace& operator=(const CEnterNamespace&) = delete;
    bool Ok() const { return ok_; }

private:
    int home_ = -1;
    bool ok_ = false;
};

// Sends UDP datagrams with the given payloads from inside namespace `ns`
// (on a thread of its own) to address:port. False when a send failed.
bool SendUdpFrom(const std::string& ns, const std::string& address, std::uint16_t port,
                 const std::vector<std::string>& payloads);
