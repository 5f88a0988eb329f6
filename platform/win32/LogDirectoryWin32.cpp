#include "capture/LogDirectory.h"

#include <filesystem>
#include <shlobj.h>
#include <system_error>
#include <windows.h>

#include "platform/win32/WideText.h"

namespace {

std::wstring ExecutableDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).parent_path().wstring();
}

// What the access bits cannot tell (Program Files is writable for
// administrators only): whether a file can be created there.
bool CanCreateFiles(const std::wstring& directory) {
    const std::wstring probe = directory + L"\\.orn-write-probe";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

}  // namespace

// On Windows the state directory is the user's local application data, and
// no installed directory is kept apart: Program Files fails the write test.
std::string ChooseLogDirectory(const std::string& exeDirectory, bool exeDirectoryWritable, const std::string&,
                               const char* stateHome, const char*) {
    if (!exeDirectory.empty() && exeDirectoryWritable) return exeDirectory + "\\Log";
    if (stateHome && stateHome[0]) return std::string(stateHome) + "\\ORN\\Log";
    return {};
}

std::string DefaultLogDirectory() {
    const std::wstring exe = ExecutableDirectory();
    wchar_t appData[MAX_PATH] = {};
    const bool haveAppData =
        SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData));
    const std::string stateHome = haveAppData ? Utf8Text(appData) : std::string();
    const std::string directory = ChooseLogDirectory(Utf8Text(exe), !exe.empty() && CanCreateFiles(exe), {},
                                                     haveAppData ? stateHome.c_str() : nullptr, nullptr);
    if (!directory.empty() && directory != Utf8Text(exe) + "\\Log") {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(WideText(directory)).parent_path(), error);
    }
    return directory;
}
