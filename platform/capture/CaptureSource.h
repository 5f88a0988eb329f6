#pragma once
// Where a capture run gets its IPv4 datagrams: a live interface or a capture
// file, behind one narrow interface. A run calls, in this order:
//
//   Startup()        failure: kInitializationMessage
//   FindInterface()  failure: kNoInterfaceMessage
//   Activate()       failure: kPermissionMessage or kInitializationMessage
//   Receive(...)     until the run ends: one datagram, or "nothing yet" after
//                    the timeout so the run can look at its flag again
//   Stop()           releases the source; Statistics() stays readable
//
// Every method is for the one thread that runs the capture.

#include <cstdint>
#include <memory>
#include <string>

enum class CaptureFailure {
    None = 0,
    Initialization,  // the capture machinery could not be set up
    NoInterface,     // no interface that is up owns an IPv4 address
    Permission,      // capture refused: no CAP_NET_RAW, or the helper may not be run
};

inline constexpr char kInitializationMessage[] = "Can not perform initialization properly!!!";
inline constexpr char kNoInterfaceMessage[] = "Can not found network interface!!!";
inline constexpr char kPermissionMessage[] =
    "Can not set network card parameters properly\n"
    "Check if current user account has administrative priviledges";
// The line added to it: what a user can do about it, on each system.
inline constexpr char kLinuxPermissionAdvice[] =
    "On this system: join group orn and log in again; for a build tree, as root: setcap cap_net_raw+ep build/orn-capture";
inline constexpr char kWindowsPermissionAdvice[] =
    "On this system: accept the prompt for administrator rights that Start brings up, or start ORN with Run as "
    "administrator";
#ifdef _WIN32
inline constexpr const auto& kPermissionAdvice = kWindowsPermissionAdvice;
#else
inline constexpr const auto& kPermissionAdvice = kLinuxPermissionAdvice;
#endif

// The user's text for a failure (kPermissionMessage with kPermissionAdvice
// on a line of its own for Permission); nullptr for None.
const char* CaptureFailureMessage(CaptureFailure failure);

enum class ReceiveResult {
    Datagram,    // one datagram was delivered
    NothingYet,  // the timeout passed without one (live sources)
    EndOfFile,   // a file source has delivered its last datagram
    Failed,      // the source cannot go on; ErrorText() says why
};

struct CapturedDatagram {
    // The datagram from its IP header on; valid until the next Receive or Stop.
    const std::uint8_t* data = nullptr;
    // Captured bytes of the datagram (link-layer padding left out), <= 65535.
    std::uint32_t length = 0;
    // Capture time as calendar time.
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
};

struct CaptureStatistics {
    std::uint64_t datagrams = 0;         // IPv4 datagrams delivered
    std::uint64_t otherFrames = 0;       // frames passed over: not IPv4, or cut in the link header
    std::uint64_t kernelReceived = 0;    // frames the kernel handed to the capture
    std::uint64_t kernelDropped = 0;     // frames lost for want of buffer space
    std::uint64_t interfaceDropped = 0;  // frames the interface itself dropped
};

class ICaptureSource {
public:
    virtual ~ICaptureSource() = default;

    virtual CaptureFailure Startup() = 0;
    virtual CaptureFailure FindInterface() = 0;
    virtual CaptureFailure Activate() = 0;

    // Waits at most timeoutMs (0: only looks) for the next IPv4 datagram.
    virtual ReceiveResult Receive(CapturedDatagram& datagram, int timeoutMs) = 0;

    // Ends the capture; safe to call more than once.
    virtual void Stop() = 0;

    virtual CaptureStatistics Statistics() = 0;

    // The IPv4 address (network byte order) of the interface that
    // FindInterface() chose; 0 for sources without one (files).
    virtual std::uint32_t InterfaceAddress() const { return 0; }

    // One line about the last failure, for diagnostics and the command line.
    virtual const std::string& ErrorText() const = 0;
};

// The system's live capture (the capture helper on Linux, a raw socket on
// Windows): on the interface named, or, without a name, on the host's first
// interface, as a run captures by default.
std::unique_ptr<ICaptureSource> MakeLiveCaptureSource(const std::string& interfaceName = {});

// A name the system could give an interface. Linux: 1 to 15 printable bytes,
// no '/', ':' or blank, not "." or "..", and with label also an address's
// label ("eth0:1"), which names an interface address's entry, never a device.
// Windows: an adapter's friendly name (blanks allowed) or its GUID name.
bool IsValidInterfaceName(const std::string& name, bool label = false);

// A live capture needs rights this process may lack (on Windows an
// administrator's; on Linux the capture helper holds them). Where they are
// missing and the system can start the program again with them, asks it to
// (the copy starts listening at once: orn --start); true once that copy has
// started, and this one should end. False: capture here (the rights are
// there, the user declined, or there is nothing to ask).
bool RestartWithCaptureRights();
