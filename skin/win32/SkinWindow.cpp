#include "skin/win32/Win32Api.h"

#include "skin/win32/SkinWindow.h"

#include "platform/win32/WideText.h"

namespace {

// Marks the windows whose user data is a CSkinWindow: a system control's or
// the dialog's own user data is something else.
constexpr wchar_t kSkinWindowProperty[] = L"ORN.SkinWindow";

}  // namespace

CSkinWindow::~CSkinWindow() {
    if (hwnd && ::IsWindow(hwnd) && FromHandle(hwnd) == this) {
        ::RemovePropW(hwnd, kSkinWindowProperty);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
    }
}

void CSkinWindow::Attach(SkinHwnd window) {
    hwnd = window;
    if (!hwnd) return;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetPropW(hwnd, kSkinWindowProperty, reinterpret_cast<HANDLE>(1));
}

CSkinWindow* CSkinWindow::FromHandle(SkinHwnd window) {
    if (!window || !::GetPropW(window, kSkinWindowProperty)) return nullptr;
    return reinterpret_cast<CSkinWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

int CSkinWindow::Id() const { return hwnd ? ::GetDlgCtrlID(hwnd) : 0; }

bool CSkinWindow::OnReflected(unsigned, std::uintptr_t, std::intptr_t, std::intptr_t&) { return false; }

void CSkinWindow::SetText(const std::string& text) {
    if (hwnd) ::SetWindowTextW(hwnd, WideText(text).c_str());
}

std::string CSkinWindow::GetText() const {
    if (!hwnd) return {};
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return Utf8Text(text);
}

void CSkinWindow::Show(bool show) {
    if (hwnd) ::ShowWindow(hwnd, show ? SW_SHOWNA : SW_HIDE);
}

bool CSkinWindow::IsVisible() const { return hwnd && (::GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE); }

void CSkinWindow::Enable(bool enable) {
    if (hwnd) ::EnableWindow(hwnd, enable);
}

bool CSkinWindow::IsEnabled() const { return hwnd && ::IsWindowEnabled(hwnd); }

void CSkinWindow::Redraw() {
    if (hwnd) ::InvalidateRect(hwnd, nullptr, TRUE);
}
