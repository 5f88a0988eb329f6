#include "platform/sysinfo/SystemVersion.h"

#include <charconv>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads one decimal number at the front of text and drops it from text.
std::optional<unsigned> TakeNumber(std::string_view& text) {
    if (text.empty() || !IsDigit(text.front())) return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) return std::nullopt;   // too large for a version number
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

bool TakeDot(std::string_view& text) {
    if (text.empty() || text.front() != '.') return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

std::optional<CKernelVersion> ParseKernelRelease(std::string_view release) {
    const auto major = TakeNumber(release);
    if (!major || !TakeDot(release)) return std::nullopt;
    const auto minor = TakeNumber(release);
    if (!minor) return std::nullopt;
    CKernelVersion version{*major, *minor, 0};
    // Further ".N" groups: the first is the patch level, any later one a
    // sublevel of the old four-part releases ("2.6.32.27").
    for (bool first = true; release.size() > 1 && release[0] == '.' && IsDigit(release[1]);
         first = false) {
        release.remove_prefix(1);
        const auto number = TakeNumber(release);
        if (!number) return std::nullopt;
        if (first) version.patch = *number;
    }
    // What is left is a local suffix such as "-18-amd64", "+" or "_rc1".
    return version;
}

bool IsSupportedKernelRelease(std::string_view release) {
    const auto version = ParseKernelRelease(release);
    return version && *version >= kMinimumKernelVersion;
}
