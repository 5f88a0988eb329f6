#pragma once
// Paths are UTF-8 text everywhere in this program. What std::filesystem makes
// of narrow strings depends on the library (Microsoft's takes the ANSI code
// page on Windows): these go through char8_t, UTF-8 with every library.

#include <filesystem>
#include <string>
#include <string_view>

inline std::filesystem::path Utf8Path(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
