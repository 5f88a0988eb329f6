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
// or when its parent dies. For an echo socket it answers EchoSocket (the
// descriptor passed along) or Failed, and ends.
//
// Layout, all integers little-endian:
//   request  "ORNq" version(1) kind(1) name-length(1) name(name-length)
//   report   "ORNr" version(1) kind(1) then by kind:
//            Started     address(4, network order) name-length(1) name
//            Failed      failure(1) text-length(2) text
//            Statistics  received(8) dropped(8) interface-dropped(8)
//            EchoSocket  nothing; the socket rides along (SCM_RIGHTS)

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/capture/CaptureSource.h"

inline constexpr int kHelperControlFd = 3;
inline constexpr int kHelperDataFd = 4;
inline constexpr char kHelperProgramName[] = "orn-capture";

// Longest message either side sends; a receive buffer of this size holds any.
inline constexpr std::size_t kHelperMessageMax = 1024;
// Interface names as the kernel bounds them (IFNAMSIZ less the terminator).
inline constexpr std::size_t kInterfaceNameMax = 15;
inline constexpr std::size_t kFailureTextMax = 512;

enum class HelperRequestKind : std::uint8_t { Capture = 1, EchoSocket = 2, Stop = 3 };

struct HelperRequest {
    explicit HelperRequest(HelperRequestKind k = HelperRequestKind::Capture, std::string name = {})
        : kind(k), interfaceName(std::move(name)) {}

    HelperRequestKind kind;
    // Capture only: the interface to capture; empty for the first one that
    // is up and owns an IPv4 address.
    std::string interfaceName;
};

enum class HelperReportKind : std::uint8_t { Started = 1, Failed = 2, Statistics = 3, EchoSocket = 4 };

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
};

// A name the kernel could give an interface: 1 to 15 printable bytes, no
// '/', ':' or blank, not "." or "..".
bool IsValidInterfaceName(const std::string& name);

std::vector<std::uint8_t> EncodeRequest(const HelperRequest& request);
// Nothing unless the bytes are exactly one well-formed request.
std::optional<HelperRequest> ParseRequest(std::span<const std::uint8_t> bytes);

std::vector<std::uint8_t> EncodeReport(const HelperReport& report);
std::optional<HelperReport> ParseReport(std::span<const std::uint8_t> bytes);
