#pragma once
// The map of the program's help file: which topic (an HTML file of the help
// directory) each help context opens. One entry a line:
//
//     contents   index.html      the topic of HELP_FINDER
//     129        filters.html    the topic of HELP_CONTEXT 129
//
// Blank lines and lines starting with '#' are skipped.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/Utf8Path.h"

inline constexpr char kHelpMapFileName[] = "topics.map";

struct CHelpMap {
    std::optional<std::string> contents;
    std::map<unsigned, std::string> topics;
    // One note for each line that was not taken; the first entry of a
    // context that appears twice is the one kept.
    std::vector<std::string> problems;

    const std::string* Topic(unsigned context) const;
};

CHelpMap ParseHelpMap(std::string_view text);

// A topic must be a plain file name of the help directory: no path, no
// hidden file, nothing that could lead out of the directory.
bool IsPlainTopicName(std::string_view name);

// What a help call opens: a topic of the help directory and the contents
// topic, both files that can be read (absolute paths); or, when it cannot
// open, why, naming the file it looked at. context: nothing for the contents
// (HELP_FINDER), else the help context (HELP_CONTEXT).
struct CHelpTopicFiles {
    std::filesystem::path topic;
    std::filesystem::path contents;
    std::string failure;   // empty when both can be read
};

CHelpTopicFiles FindHelpTopic(const std::filesystem::path& directory, std::optional<unsigned> context);

