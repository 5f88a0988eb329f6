#include "skin/win32/Win32Api.h"

#include "skin/win32/CTrayIcon.h"

#include <cwchar>

#include "platform/win32/WideText.h"
#include "skin/win32/SkinLook.h"

namespace {

std::optional<bool> trayOverride;
constexpr wchar_t kClassName[] = L"ORN.TrayIcon";
constexpr UINT kIconMessage = CTrayIcon::kIconMessage;
static_assert(kIconMessage == WM_APP + 2);

LRESULT CALLBACK TrayProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kIconMessage) {
        auto* owner = reinterpret_cast<ITrayIconOwner*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        const auto callback = static_cast<unsigned>(::GetWindowLongPtrW(hwnd, 0));
        if (owner) return owner->OnTrayMessage(callback, 0, static_cast<unsigned>(LOWORD(lParam)));
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

NOTIFYICONDATAW IconData(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 0;
    return data;
}

}  // namespace

CTrayIcon::CTrayIcon(ITrayIconOwner* o, unsigned message, const std::string& tipText, std::vector<int> iconIds)
    : owner(o), callbackMessage(message), tip(WideText(tipText)) {
    const int small = ::GetSystemMetrics(SM_CXSMICON);
    for (int id : iconIds) icons.push_back(LoadSkinIcon(id, small));
    static const ATOM registered = [] {
        WNDCLASSEXW c{};
        c.cbSize = sizeof c;
        c.lpfnWndProc = TrayProcedure;
        c.cbWndExtra = sizeof(LONG_PTR);
        c.hInstance = ::GetModuleHandleW(nullptr);
        c.lpszClassName = kClassName;
        return ::RegisterClassExW(&c);
    }();
    (void)registered;
    window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr),
                               nullptr);
    if (!window) return;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    ::SetWindowLongPtrW(window, 0, static_cast<LONG_PTR>(callbackMessage));
    NOTIFYICONDATAW data = IconData(window);
    data.uFlags = NIF_MESSAGE | NIF_TIP | (icons.empty() || !icons[0] ? 0 : NIF_ICON);
    data.uCallbackMessage = kIconMessage;
    data.hIcon = icons.empty() ? nullptr : icons[0];
    std::wcsncpy(data.szTip, tip.c_str(), std::size(data.szTip) - 1);
    added = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

CTrayIcon::~CTrayIcon() {
    if (!window) return;
    if (added) {
        NOTIFYICONDATAW data = IconData(window);
        ::Shell_NotifyIconW(NIM_DELETE, &data);
    }
    ::DestroyWindow(window);
}

void CTrayIcon::SetIcon(int index) {
    if (!window || index < 0 || index >= static_cast<int>(icons.size()) || !icons[static_cast<std::size_t>(index)])
        return;
    NOTIFYICONDATAW data = IconData(window);
    data.uFlags = NIF_ICON;
    data.hIcon = icons[static_cast<std::size_t>(index)];
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

bool CTrayIcon::InTray() {
    if (trayOverride) return *trayOverride;
    return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

void CTrayIcon::SetTrayAvailableOverride(std::optional<bool> available) { trayOverride = available; }
