// The start-up version check on Windows: Windows 2000 (NT 5.0) or later.
#include <windows.h>

#include "platform/sysinfo/SystemVersion.h"

bool IsSupportedWindowsVersion(unsigned platformId, unsigned major) {
    return platformId == VER_PLATFORM_WIN32_NT && major >= 5;
}

// The version the system really runs: GetVersionEx reports an older one to a
// program whose manifest does not name the newer, which passes all the same.
bool IsSupportedSystem() {
    using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto rtlGetVersion =
        ntdll ? reinterpret_cast<RtlGetVersionCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
              : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) return false;
    return IsSupportedWindowsVersion(info.dwPlatformId, info.dwMajorVersion);
}
