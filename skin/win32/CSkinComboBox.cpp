#include "skin/win32/Win32Api.h"

#include "skin/win32/CSkinComboBox.h"

#include "platform/win32/WideText.h"
#include "skin/win32/ControlWindow.h"
#include "skin/win32/SkinLook.h"

namespace {

// The system's frame around the closed field, before the field's height is
// known: the height is corrected once the box exists.
constexpr int kFieldFrame = 6;

}  // namespace

bool CSkinComboBox::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    // The template's height is the dropped-down list's extent; the closed
    // box is kClosedHeight tall.
    HWND window = MakeControlWindow(parent, L"COMBOBOX",
                                    CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL, 0, entry,
                                    rect, font);
    if (!window) return false;
    Attach(window);
    // The field's height as set and as read back differ by the system's
    // own margins: a few tries bring the box to its height.
    int field = static_cast<int>(::SendMessageW(window, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    for (int attempt = 0; attempt < 4 && field > 0; ++attempt) {
        RECT closed;
        ::GetWindowRect(window, &closed);
        const int off = kClosedHeight - (closed.bottom - closed.top);
        if (off == 0) break;
        field += off;
        ::SendMessageW(window, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
    for (const char* item : entry.items) AddString(item ? item : "");
    SetCurSel(-1);
    return true;
}

bool CSkinComboBox::OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                std::intptr_t& result) {
    switch (message) {
    case WM_MEASUREITEM: {
        // Sent while the box is made, before it is attached.
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (m->CtlType != ODT_COMBOBOX) return false;
        m->itemHeight = m->itemID == static_cast<UINT>(-1) ? kClosedHeight - kFieldFrame : kItemHeight;
        result = TRUE;
        return true;
    }
    case WM_DRAWITEM: {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (d->CtlType != ODT_COMBOBOX) return false;
        const int index = static_cast<int>(d->itemID);
        HDC dc = d->hDC;
        if (index < 0) {
            ::FillRect(dc, &d->rcItem, ControlBrush());
        } else {
            // A selected item in the system's selection colours, not the skin's.
            const bool selected = (d->itemState & ODS_SELECTED) != 0;
            const COLORREF ground = selected ? ::GetSysColor(COLOR_HIGHLIGHT) : SkinRgb(kComboItem);
            ::SetBkColor(dc, ground);
            ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &d->rcItem, nullptr, 0, nullptr);
            std::wstring text = WideText(GetLBText(index));
            HGDIOBJ oldFont = ::SelectObject(dc, ControlFont(hwnd));
            const int oldMode = ::SetBkMode(dc, TRANSPARENT);
            const COLORREF oldText =
                ::SetTextColor(dc, selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : SkinRgb(kControlText));
            RECT r = d->rcItem;
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                        DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            ::SetTextColor(dc, oldText);
            ::SetBkMode(dc, oldMode);
            ::SelectObject(dc, oldFont);
        }
        result = TRUE;
        return true;
    }
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        result = AnswerControlColours(reinterpret_cast<HDC>(wParam), false);
        return true;
    default:
        return false;  // CBN_SELCHANGE from the user's choice reaches the window
    }
}

int CSkinComboBox::AddString(const std::string& text) {
    if (!hwnd) return -1;
    return static_cast<int>(::SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(text).c_str())));
}

int CSkinComboBox::GetCount() const { return hwnd ? static_cast<int>(::SendMessageW(hwnd, CB_GETCOUNT, 0, 0)) : 0; }

int CSkinComboBox::GetCurSel() const {
    if (!hwnd) return -1;
    const LRESULT sel = ::SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
    return sel == CB_ERR ? -1 : static_cast<int>(sel);
}

void CSkinComboBox::SetCurSel(int index) {
    // CB_SETCURSEL tells the owner nothing.
    if (hwnd) ::SendMessageW(hwnd, CB_SETCURSEL, index >= 0 && index < GetCount() ? index : -1, 0);
}

std::string CSkinComboBox::GetLBText(int index) const {
    if (!hwnd || index < 0 || index >= GetCount()) return {};
    const LRESULT length = ::SendMessageW(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got =
        ::SendMessageW(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return Utf8Text(text);
}

void CSkinComboBox::ResetContent() {
    if (hwnd) ::SendMessageW(hwnd, CB_RESETCONTENT, 0, 0);
}
