#include "capture/LogDirectory.h"

#ifndef ORN_INSTALL_BINDIR
#define ORN_INSTALL_BINDIR "/usr/bin"
#endif

namespace {

constexpr const char* kStateDirectory = "/.local/state/orn/Log";

bool Absolute(const char* path) { return path && path[0] == '/'; }

}  // namespace

LogPlace ChooseLogDirectory(const LogPlaceFacts& facts, const std::string& installedBinDirectory) {
    if (!facts.exeDirectory.empty() && facts.exeDirectoryOurs && facts.exeDirectory != installedBinDirectory)
        return {facts.exeDirectory + "/Log", {}};
    const bool accountHome = Absolute(facts.accountHome.c_str());
    if (facts.environmentOfOthers) {
        if (accountHome) return {facts.accountHome + kStateDirectory, {}};
        return {{}, "HOME belongs to another user and the account has no home of its own"};
    }
    // XDG base directories: a relative path is to be ignored.
    if (Absolute(facts.stateHome)) return {std::string(facts.stateHome) + "/orn/Log", {}};
    if (Absolute(facts.home)) return {std::string(facts.home) + kStateDirectory, {}};
    if (facts.home && facts.home[0]) return {{}, "HOME (" + std::string(facts.home) + ") is not an absolute path"};
    if (accountHome) return {facts.accountHome + kStateDirectory, {}};
    return {{}, "no home directory"};
}

LogPlace DefaultLogDirectory() { return ChooseLogDirectory(GatherLogPlaceFacts(), ORN_INSTALL_BINDIR); }
