// The program is marked asInvoker: capture files, the filter set and files
// dropped from Explorer need no rights (an elevated window would refuse drops
// from the unelevated shell). Only a live capture asks for them, at Start.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/capture/CaptureRightsWin32.h"
#include "platform/capture/CaptureSource.h"

std::wstring ArgumentsAfterProgram(std::wstring_view commandLine) {
    // The program's name ends at its closing quote, or else at the first
    // blank; no escapes apply to it (CommandLineToArgvW's rule).
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        i = commandLine.find(L'"', 1);
        i = i == std::wstring_view::npos ? commandLine.size() : i + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    return std::wstring(commandLine.substr(i));
}

bool IsValidInterfaceName(const std::string& name, bool) {
    // Friendly names are at most 256 UTF-16 units; control characters never
    // belong to one, and would break the menu and the stored value.
    if (name.empty() || name.size() > 1024) return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

namespace {

bool Elevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    // Where the system cannot tell (no such class before Vista), asking
    // could not help either.
    return !known || elevation.TokenIsElevated != 0;
}

}  // namespace

bool RestartWithCaptureRights() {
    if (Elevated()) return false;
    std::vector<wchar_t> program(32768);
    const DWORD length = GetModuleFileNameW(nullptr, program.data(), DWORD(program.size()));
    if (length == 0 || length >= program.size()) return false;
    std::vector<wchar_t> directory(32768);
    if (GetCurrentDirectoryW(DWORD(directory.size()), directory.data()) == 0) directory[0] = 0;
    const std::wstring arguments = ArgumentsAfterProgram(GetCommandLineW());
    SHELLEXECUTEINFOW run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    run.lpVerb = L"runas";
    run.lpFile = program.data();
    run.lpParameters = arguments.c_str();
    // Relative capture file names stay valid for the copy.
    run.lpDirectory = directory[0] ? directory.data() : nullptr;
    run.nShow = SW_SHOWNORMAL;
    // Declined (ERROR_CANCELLED) or failed: capture here, and let the run
    // say that the rights are missing.
    return ShellExecuteExW(&run) != FALSE;
}
