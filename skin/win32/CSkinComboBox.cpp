#include "skin/win32/Win32Api.h"

#include "skin/win32/CSkinComboBox.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "platform/win32/WideText.h"
#include "skin/win32/ControlWindow.h"
#include "skin/win32/SkinLook.h"

namespace {

// The system's frame around the closed field, before the field's height is
// known: the height is corrected once the box exists.
constexpr int kFieldFrame = 6;

// The closed box as the Qt skin's style draws it: a rounded button face in
// the skin's colours (dark outline, a faint light line inside it, a
// vertical gradient), the field inset on the left and the arrow at the
// right, pixel for pixel as the Linux box of the same size.
constexpr int kFieldLeft = 4, kFieldTop = 2, kArrowWidth = 21;
constexpr COLORREF kOutline = RGB(36, 36, 73);        // the control brush, darker
constexpr COLORREF kFaceTop = RGB(148, 148, 197);     // the gradient at the field's top row
constexpr COLORREF kFaceBottom = RGB(126, 126, 169);  // and at its bottom row

COLORREF Blend(COLORREF under, COLORREF over, int alpha) {
    auto mix = [alpha](int a, int b) { return (a * (255 - alpha) + b * alpha + 127) / 255; };
    return RGB(mix(GetRValue(under), GetRValue(over)), mix(GetGValue(under), GetGValue(over)),
               mix(GetBValue(under), GetBValue(over)));
}

// A 32-bit picture the box is drawn into before it is shown at once.
class FacePicture {
public:
    FacePicture(HDC like, int w, int h) : width(w), height(h) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        dc = ::CreateCompatibleDC(like);
        bitmap = ::CreateDIBSection(like, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        if (dc && bitmap) old = ::SelectObject(dc, bitmap);
    }
    ~FacePicture() {
        if (old) ::SelectObject(dc, old);
        if (bitmap) ::DeleteObject(bitmap);
        if (dc) ::DeleteDC(dc);
    }
    bool Ready() const { return old != nullptr && bits != nullptr; }
    COLORREF Get(int x, int y) const {
        const std::uint32_t p = bits[y * width + x];  // BGRA in memory
        return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
    }
    void Set(int x, int y, COLORREF c) {
        bits[y * width + x] = (std::uint32_t(GetRValue(c)) << 16) | (std::uint32_t(GetGValue(c)) << 8) | GetBValue(c);
    }

    const int width, height;
    HDC dc = nullptr;

private:
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
};

// The gradient's colour on row y, the field's top and bottom rows being its ends.
COLORREF FaceRow(int y, int h) {
    const int span = std::max(1, h - 1 - 2 * kFieldTop);
    auto at = [&](int top, int bottom) {
        return std::clamp((top * (span - (y - kFieldTop)) + bottom * (y - kFieldTop) + span / 2) / span, 0, 255);
    };
    return RGB(at(GetRValue(kFaceTop), GetRValue(kFaceBottom)), at(GetGValue(kFaceTop), GetGValue(kFaceBottom)),
               at(GetBValue(kFaceTop), GetBValue(kFaceBottom)));
}

// The frame and the arrow over the parent's ground already in the picture.
void DrawFace(FacePicture& face, bool enabled) {
    const int w = face.width, h = face.height;
    for (int y = 0; y < h; ++y) {
        const COLORREF ground = FaceRow(y, h), light = Blend(ground, RGB(255, 255, 255), 30);
        const int my = std::min(y, h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const int mx = std::min(x, w - 1 - x);
            if (mx >= kFieldLeft && my >= kFieldTop && x < w - kArrowWidth) continue;  // the field's
            const int ring = std::min(mx, my), corner = mx + my;
            COLORREF c = ring == 0 ? kOutline : ring == 1 ? light : ground;
            // The rounded corners, smoothed over the parent's ground.
            if (corner == 0)
                c = face.Get(x, y);
            else if (corner == 1)
                c = Blend(face.Get(x, y), light, 32);
            else if (corner == 2)
                c = Blend(kOutline, light, ring == 0 ? 26 : 92);
            else if (corner == 4 && ring == 2)
                c = light;
            face.Set(x, y, c);
        }
    }
    // A filled triangle pointing down, smoothed at its sides, translucent
    // like the Linux one.
    const COLORREF mark = enabled ? SkinRgb(kControlText) : RGB(150, 150, 90);
    const int cx = w - kArrowWidth + 9, top = h / 2 - 2;
    if (cx < 4 || cx + 4 >= w || top < 0 || top + 4 > h) return;  // no room for it
    for (int row = 0; row < 4; ++row)
        for (int dx = -(4 - row); dx <= 4 - row; ++dx) {
            const int off = std::abs(dx) - (2 - row);
            const int alpha = off <= 0 ? 160 : off == 1 ? 141 : 20;
            face.Set(cx + dx, top + row, Blend(face.Get(cx + dx, top + row), mark, alpha));
        }
}

// The skin's owner-draw rule, for the list's items and the closed field.
void DrawField(HWND window, HDC dc, const RECT& rect, int index, bool selected, const std::string& text) {
    if (index < 0) {
        ::FillRect(dc, &rect, ControlBrush());
        return;
    }
    // A selected item in the system's selection colours, not the skin's.
    ::SetBkColor(dc, selected ? ::GetSysColor(COLOR_HIGHLIGHT) : SkinRgb(kComboItem));
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    const std::wstring wide = WideText(text);
    HGDIOBJ oldFont = ::SelectObject(dc, ControlFont(window));
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldText = ::SetTextColor(dc, selected ? ::GetSysColor(COLOR_HIGHLIGHTTEXT) : SkinRgb(kControlText));
    RECT r = rect;
    ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SetTextColor(dc, oldText);
    ::SetBkMode(dc, oldMode);
    ::SelectObject(dc, oldFont);
}

// The whole closed box, drawn off screen and shown at once: the system's
// own is a white frame and a grey arrow button.
void PaintClosed(const CSkinComboBox& combo, HWND window, HDC dc) {
    RECT client;
    ::GetClientRect(window, &client);
    FacePicture face(dc, client.right, client.bottom);
    if (!face.Ready()) return;
    // The parent's ground, for the rounded corners.
    HWND parent = ::GetParent(window);
    POINT at{0, 0}, origin;
    ::MapWindowPoints(window, parent, &at, 1);
    ::SetViewportOrgEx(face.dc, -at.x, -at.y, &origin);
    ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(face.dc), 0);
    ::SetViewportOrgEx(face.dc, origin.x, origin.y, nullptr);
    ::GdiFlush();
    DrawFace(face, ::IsWindowEnabled(window) != FALSE);
    const RECT field{kFieldLeft, kFieldTop, client.right - kArrowWidth, client.bottom - kFieldTop};
    const int index = combo.GetCurSel();
    const bool selected = ::GetFocus() == window && !::SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0);
    DrawField(window, face.dc, field, index, selected, combo.GetLBText(index));
    ::BitBlt(dc, 0, 0, client.right, client.bottom, face.dc, 0, 0, SRCCOPY);
}

LRESULT CALLBACK ClosedBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    const auto& combo = *reinterpret_cast<const CSkinComboBox*>(data);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (wParam) {
            PaintClosed(combo, window, reinterpret_cast<HDC>(wParam));
        } else {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(window, &ps);
            PaintClosed(combo, window, dc);
            ::EndPaint(window, &ps);
        }
        return 0;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(window, ClosedBoxProc, 0);
        break;
    default:
        break;
    }
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    // The field is selected only while the box has the focus.
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS || message == WM_ENABLE)
        ::InvalidateRect(window, nullptr, FALSE);
    return result;
}

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
    ::SetWindowSubclass(window, ClosedBoxProc, 0, reinterpret_cast<DWORD_PTR>(this));
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
        DrawField(hwnd, d->hDC, d->rcItem, index, (d->itemState & ODS_SELECTED) != 0, GetLBText(index));
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
