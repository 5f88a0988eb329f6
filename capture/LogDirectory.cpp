#include "capture/LogDirectory.h"

#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

#ifndef ORN_INSTALL_BINDIR
#define ORN_INSTALL_BINDIR "/usr/bin"
#endif

std::string ChooseLogDirectory(const std::string& exeDirectory, bool exeDirectoryWritable,
                               const std::string& installedBinDirectory, const char* stateHome, const char* home) {
    if (!exeDirectory.empty() && exeDirectoryWritable && exeDirectory != installedBinDirectory)
        return exeDirectory + "/Log";
    // XDG base directories: a relative path is to be ignored.
    if (stateHome && stateHome[0] == '/') return std::string(stateHome) + "/orn/Log";
    if (home && home[0] == '/') return std::string(home) + "/.local/state/orn/Log";
    return {};
}

std::string DefaultLogDirectory() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string exeDirectory = error ? std::string() : exe.parent_path().string();
    const bool writable = !exeDirectory.empty() && access(exeDirectory.c_str(), W_OK) == 0;
    const char* home = getenv("HOME");
    const passwd* account = home && home[0] ? nullptr : getpwuid(getuid());
    if (account) home = account->pw_dir;
    const std::string directory =
        ChooseLogDirectory(exeDirectory, writable, ORN_INSTALL_BINDIR, getenv("XDG_STATE_HOME"), home);
    if (!directory.empty() && directory != exeDirectory + "/Log") {
        std::filesystem::create_directories(std::filesystem::path(directory).parent_path(), error);
    }
    return directory;
}
