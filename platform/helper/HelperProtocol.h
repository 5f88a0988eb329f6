#pragma once
// What the program and its capture helper (orn-capture) say to each other.
// The helper is the one binary with a capability (cap_net_raw), so it trusts
// nothing its caller sends: every message has one exact layout and size, and
// anything else is refused whole.
//
// The program starts the helper with these descriptors open and no arguments:
//   3  control: a Unix SEQPACKET socket, one message per packet, both ways
//   4  data (captures only): the write end of a pipe; the helper writes a
//      pcap stream of the interface's frames to it
// The program sends one request. For a capture the helper answers Started or
// Failed, then sends Statistics now and then and once more when it ends; it
// ends at a Stop request, when the data pipe or the control socket is closed,
// or when its parent dies. For an echo sweep it sends the echo requests
// itself, on a raw socket that never leaves it: it answers Failed (and sends
// nothing) or one EchoResult per address in order, and ends. No message ever
// carries a descriptor; the program refuses one that does.
//
// Layout, all integers little-endian:
//   request  "ORNq" version(1) kind(1) name-length(1) name(name-length)
//            EchoSweep adds first(4, network order) count(2) wait-ms(2)
//   report   "ORNr" version(1) kind(1) then by kind:
//            Started     address(4, network order) name-length(1) name
//            Failed      failure(1) text-length(2) text
//            Statistics  received(8) dropped(8) interface-dropped(8)
//            EchoResult  address(4, network order) sent(2) answered(1)

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/capture/CaptureSource.h"
#include "platform/net/InterfaceList.h"

inline constexpr int kHelperControlFd = 3;
inline constexpr int kHelperDataFd = 4;
inline constexpr char kHelperProgramName[] = "orn-capture";

// Longest message either side sends; a receive buffer of this size holds any.
inline constexpr std::size_t kHelperMessageMax = 1024;
// Interface names as the kernel bounds them (IFNAMSIZ less the terminator).
inline constexpr std::size_t kInterfaceNameMax = 15;
inline constexpr std::size_t kFailureTextMax = 512;

// Kind 2, the raw socket once passed to the program, is refused.
enum class HelperRequestKind : std::uint8_t { Capture = 1, Stop = 3, EchoSweep = 4 };

// An echo sweep covers at most the hosts of a /24 (the widest network the
// host scan sweeps), at most one request per 10 ms; each is the scan's own
// 12-byte echo request, which the caller cannot shape.
inline constexpr std::size_t kEchoSweepMax = 254;
inline constexpr int kEchoWaitMinMs = 10;
inline constexpr int kEchoWaitMaxMs = 1000;

struct HelperRequest {
    explicit HelperRequest(HelperRequestKind k = HelperRequestKind::Capture, std::string name = {})
        : kind(k), interfaceName(std::move(name)) {}

    HelperRequestKind kind;
    // Capture: the interface to capture; empty for the first one that is up
    // and owns an IPv4 address. EchoSweep: the interface whose network is swept.
    std::string interfaceName;
    // EchoSweep: count addresses upwards from first (network order), one
    // request to each, waitMs apart, replies counted within the wait.
    std::uint32_t first = 0;
    std::uint16_t count = 0;
    std::uint16_t waitMs = 0;
};

// Kind 4, the answer that once carried the raw socket, is refused.
enum class HelperReportKind : std::uint8_t { Started = 1, Failed = 2, Statistics = 3, EchoResult = 5 };

struct HelperReport {
    HelperReport() = default;
    explicit HelperReport(HelperReportKind k) : kind(k) {}

    HelperReportKind kind = HelperReportKind::Failed;
    // Started: the interface captured and its IPv4 address.
    std::string interfaceName;
    std::uint32_t address = 0;
    // Failed: the step that failed and one line about it.
    CaptureFailure failure = CaptureFailure::Initialization;
    std::string text;
    // Statistics: the kernel's counters for the capture so far.
    std::uint64_t kernelReceived = 0;
    std::uint64_t kernelDropped = 0;
    std::uint64_t interfaceDropped = 0;
    // EchoResult, for one address of the sweep (address above): the bytes
    // sent, 0 when the send failed; whether an echo reply to this helper's
    // request came from that address within the wait.
    std::uint16_t sent = 0;
    bool answered = false;
};

// The index-th address of a sweep from first (network order); 0 past the top.
std::uint32_t EchoSweepAddress(std::uint32_t first, std::size_t index);

// Whether the echo service sends to address for an interface that owns
// interfaceAddress under netmask (all network order): the netmask is a /24
// or narrower, and address a host of that network, neither the network's own
// address nor its broadcast address.
bool IsEchoTarget(std::uint32_t address, std::uint32_t interfaceAddress, std::uint32_t netmask);

// Why the helper refuses a well-formed echo sweep on a host with these
// interface entries, or empty when every address of it is an echo target of
// one entry of the named interface that is up.
std::string EchoSweepRefusal(const HelperRequest& request, const std::vector<CInterfaceAddress>& entries);

std::vector<std::uint8_t> EncodeRequest(const HelperRequest& request);
// Nothing unless the bytes are exactly one well-formed request.
std::optional<HelperRequest> ParseRequest(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> EncodeReport(const HelperReport& report);
std::optional<HelperReport> ParseReport(std::span<const std::uint8_t> bytes);
