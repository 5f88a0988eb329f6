#pragma once
// The start-up version check. ORN captures through libpcap, whose Linux
// capture ring (TPACKET_V3) first came with kernel 3.2, so older kernels are
// refused before any window or capture exists.

#include <optional>
#include <string>
#include <string_view>

struct CKernelVersion {
    unsigned major = 0;
    unsigned minor = 0;
    unsigned patch = 0;

    friend auto operator<=>(const CKernelVersion&, const CKernelVersion&) = default;
};

inline constexpr CKernelVersion kMinimumKernelVersion{3, 2, 0};

// Shown in a message box with the exclamation icon when the check fails; the
// process then ends at once (std::_Exit) with kUnsupportedSystemExitCode.
#if defined(_WIN32)
inline constexpr char kUnsupportedSystemText[] = "This program requires Windows 2000!!!";

// Windows: an NT platform (platform id 2) of major version 5 (Windows 2000)
// or later.
bool IsSupportedWindowsVersion(unsigned platformId, unsigned major);
#else
inline constexpr char kUnsupportedSystemText[] = "This program requires Linux 3.2!!!";
#endif
inline constexpr int kUnsupportedSystemExitCode = 0;

// Reads the leading "MAJOR.MINOR[.PATCH]" of a kernel release as uname gives
// it ("6.1.0-18-amd64", "4.19.0+"); what follows is a local suffix. A release
// that does not begin that way is not a version.
std::optional<CKernelVersion> ParseKernelRelease(std::string_view release);

// True when the release names kernel 3.2 or later. A release that cannot be
// read is refused: the check cannot vouch for a kernel it does not know.
bool IsSupportedKernelRelease(std::string_view release);

// The running kernel's release (uname's release field); empty if uname fails.
std::string CurrentKernelRelease();

// The check for the running system.
bool IsSupportedSystem();
