// The system's message box as the program shows it: over the window that is
// active, which stays disabled until the box is answered (as a Qt box keeps
// the whole program waiting), with the text, title and icon asked for.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/msgbox/MessageBox.h"
#include "platform/win32/WideText.h"

namespace {

struct Seen {
    HWND window = nullptr, box = nullptr, owner = nullptr;
    bool windowEnabled = true;
    std::wstring title, text;
    HICON icon = nullptr;
} seen;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(hwnd, name, 16);
    if (std::wstring(name) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
    seen.box = hwnd;
    return FALSE;
}

BOOL CALLBACK FindIcon(HWND hwnd, LPARAM) {
    if ((GetWindowLongW(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        seen.icon = reinterpret_cast<HICON>(SendMessageW(hwnd, STM_GETICON, 0, 0));
    return !seen.icon;
}

void CALLBACK Look(HWND, UINT, UINT_PTR timer, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), FindBox, 0);
    if (!seen.box) return;
    KillTimer(nullptr, timer);
    seen.owner = GetWindow(seen.box, GW_OWNER);
    seen.windowEnabled = IsWindowEnabled(seen.window);
    wchar_t text[256] = {};
    GetWindowTextW(seen.box, text, 256);
    seen.title = text;
    GetDlgItemTextW(seen.box, 0xFFFF, text, 256);  // the box's static text
    seen.text = text;
    EnumChildWindows(seen.box, FindIcon, 0);  // its control's id differs between systems
    PostMessageW(seen.box, WM_COMMAND, IDOK, 0);
}

TEST(Win32MessageBox, OverTheActiveWindowWhichWaitsForIt) {
    seen.window = CreateWindowExW(0, L"STATIC", L"window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(seen.window, nullptr);
    SetActiveWindow(seen.window);
    ASSERT_EQ(GetActiveWindow(), seen.window);
    SetTimer(nullptr, 0, 50, Look);
    ShowWin32MessageBox("orn", "Entry with same address and port already exists!!!", MessageIcon::Exclamation);
    ASSERT_NE(seen.box, nullptr);
    EXPECT_EQ(seen.owner, seen.window);
    EXPECT_FALSE(seen.windowEnabled);
    EXPECT_TRUE(IsWindowEnabled(seen.window));  // again, once answered
    EXPECT_EQ(seen.title, L"orn");
    EXPECT_EQ(seen.text, L"Entry with same address and port already exists!!!");
    EXPECT_NE(seen.icon, nullptr);
    DestroyWindow(seen.window);
}

}  // namespace
