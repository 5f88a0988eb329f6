#include "platform/help/HelpMap.h"

#include <charconv>
#include <fstream>
#include <system_error>

namespace {

constexpr std::string_view kBlanks = " \t\r";

// The map is a short text; a larger file is not ours.
constexpr std::size_t kMaxMapSize = 1024 * 1024;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Splits "KEY TOPIC" at its blanks; false unless there are exactly two words.
bool SplitEntry(std::string_view line, std::string_view& key, std::string_view& topic) {
    const auto gap = line.find_first_of(kBlanks);
    if (gap == std::string_view::npos) return false;
    key = line.substr(0, gap);
    topic = Trim(line.substr(gap));
    return !topic.empty() && topic.find_first_of(kBlanks) == std::string_view::npos;
}

std::optional<unsigned> Context(std::string_view key) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), value);
    if (error != std::errc() || end != key.data() + key.size()) return std::nullopt;
    return value;
}

}  // namespace

const std::string* CHelpMap::Topic(unsigned context) const {
    const auto found = topics.find(context);
    return found == topics.end() ? nullptr : &found->second;
}

bool IsPlainTopicName(std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    for (const char c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
    }
    return true;
}

CHelpMap ParseHelpMap(std::string_view text) {
    CHelpMap map;
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (line.empty() || line.front() == '#') continue;

        const std::string where = "line " + std::to_string(number) + ": ";
        std::string_view key, topic;
        if (!SplitEntry(line, key, topic)) {
            map.problems.push_back(where + "not \"CONTEXT TOPIC\"");
            continue;
        }
        if (!IsPlainTopicName(topic)) {
            map.problems.push_back(where + "topic is not a plain file name");
            continue;
        }
        if (key == "contents") {
            if (map.contents) {
                map.problems.push_back(where + "second contents topic");
            } else {
                map.contents = std::string(topic);
            }
            continue;
        }
        const auto context = Context(key);
        if (!context) {
            map.problems.push_back(where + "context is not a number");
        } else if (!map.topics.emplace(*context, std::string(topic)).second) {
            map.problems.push_back(where + "context " + std::to_string(*context) + " mapped twice");
        }
    }
    return map;
}

namespace {

bool IsReadableFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && std::ifstream(path, std::ios::binary).is_open();
}

std::optional<std::string> ReadMap(const std::filesystem::path& path) {
    if (!IsReadableFile(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string text(kMaxMapSize + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxMapSize) return std::nullopt;
    return text;
}

}  // namespace

CHelpTopicFiles FindHelpTopic(const std::filesystem::path& directory, std::optional<unsigned> context) {
    CHelpTopicFiles files;
    const std::filesystem::path mapPath = directory / kHelpMapFileName;
    const auto fail = [&](const std::string& why) {
        files.failure = why;
        return files;
    };
    const auto text = ReadMap(mapPath);
    if (!text) return fail(Utf8PathText(mapPath) + " cannot be read.");
    const CHelpMap map = ParseHelpMap(*text);
    if (!map.contents) return fail(Utf8PathText(mapPath) + " names no contents topic.");
    const std::string* const topic = context ? map.Topic(*context) : &*map.contents;
    if (topic == nullptr)
        return fail(Utf8PathText(mapPath) + " names no topic for help context " + std::to_string(*context) + ".");
    for (const std::string* name : {topic, &*map.contents}) {
        if (!IsReadableFile(directory / *name)) return fail(Utf8PathText(directory / *name) + " cannot be read.");
    }
    const auto absolute = [](const std::filesystem::path& path) {
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(path, error);
        return error ? path : full;
    };
    files.topic = absolute(directory / *topic);
    files.contents = absolute(directory / *map.contents);
    return files;
}
