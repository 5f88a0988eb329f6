// Message boxes on Windows: the system's own, titled with the executable's
// name as on Linux ("orn" for orn.exe).
#include <windows.h>

#include "platform/msgbox/MessageBox.h"
#include "platform/win32/WideText.h"

std::string MessageBoxTitle() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "orn";
    std::wstring name(path, n);
    const std::size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    if (name.size() > 4 && CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".exe", 4, TRUE) == CSTR_EQUAL)
        name.resize(name.size() - 4);
    return name.empty() ? "orn" : Utf8Text(name);
}

// The presenter a Windows program installs: a box with an OK button over the
// thread's active window, which waits for it, as a box keeps the whole
// program waiting on Linux; without one, all of the thread's windows wait.
void ShowWin32MessageBox(const std::string& title, const std::string& text, MessageIcon icon) {
    const HWND owner = GetActiveWindow();
    MessageBoxW(owner, WideText(text).c_str(), WideText(title).c_str(),
                MB_OK | (icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0) | MB_SETFOREGROUND |
                    (owner ? MB_APPLMODAL : MB_TASKMODAL));
}
