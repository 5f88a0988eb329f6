// The program is marked asInvoker: capture files, the filter set and files
// dropped from Explorer need no rights (an elevated window would refuse drops
// from the unelevated shell). Only a live capture asks for them, at Start.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/capture/CaptureSource.h"

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
    SHELLEXECUTEINFOW run{};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    run.lpVerb = L"runas";
    run.lpFile = program.data();
    // What the user asked for when Start brought this about; a capture file
    // of this window's command line was replayed already.
    run.lpParameters = L"--start";
    run.nShow = SW_SHOWNORMAL;
    // Declined (ERROR_CANCELLED) or failed: capture here, and let the run
    // say that the rights are missing.
    return ShellExecuteExW(&run) != FALSE;
}
