#include "skin/win32/Win32Api.h"

#include "skin/win32/CSkinControls.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>

#include "platform/win32/WideText.h"
#include "skin/SkinIds.h"
#include "skin/win32/ControlWindow.h"
#include "skin/win32/SkinLook.h"

namespace {

constexpr COLORREF kFrameLight = RGB(151, 151, 222);
constexpr COLORREF kFrameMid = RGB(101, 101, 180);
constexpr COLORREF kFrameDark = RGB(16, 16, 44);
constexpr COLORREF kFrameDeep = RGB(4, 4, 18);

// Width taken by the template's frame styles on each side, as the Qt skin
// draws them: kBorder 1, kDialogFrame 2, kStaticEdge 1. The system's own
// frames differ in width and colour (a modal frame is 3 pixels), so the
// skin draws its frames in the non-client area itself.
int FrameWidth(unsigned style) {
    return (style & kBorder ? 1 : 0) + (style & kDialogFrame ? 2 : 0) + (style & kStaticEdge ? 1 : 0);
}

void FillLine(HDC dc, int x, int y, int w, int h, COLORREF colour) {
    const RECT r{x, y, x + w, y + h};
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void Edge(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    FillLine(dc, r.left, r.top, w, 1, topLeft);
    FillLine(dc, r.left, r.top, 1, h, topLeft);
    FillLine(dc, r.left, r.bottom - 1, w, 1, bottomRight);
    FillLine(dc, r.right - 1, r.top, 1, h, bottomRight);
}

void DrawFrame(HDC dc, RECT r, unsigned style) {
    if (style & kBorder) {
        Edge(dc, r, RGB(0, 0, 0), RGB(0, 0, 0));
        ::InflateRect(&r, -1, -1);
    }
    if (style & kDialogFrame) {
        Edge(dc, r, kFrameLight, kFrameDeep);
        ::InflateRect(&r, -1, -1);
        Edge(dc, r, kFrameMid, kFrameDark);
        ::InflateRect(&r, -1, -1);
    }
    if (style & kStaticEdge) Edge(dc, r, kFrameDark, kFrameLight);
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    const unsigned style = static_cast<unsigned>(data);
    switch (message) {
    case WM_NCCALCSIZE: {
        RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
        const int fw = FrameWidth(style);
        ::InflateRect(r, -fw, -fw);
        if (r->right < r->left) r->right = r->left;
        if (r->bottom < r->top) r->bottom = r->top;
        return 0;
    }
    case WM_NCPAINT: {
        HDC dc = ::GetWindowDC(window);
        RECT r;
        ::GetWindowRect(window, &r);
        ::OffsetRect(&r, -r.left, -r.top);
        const COLORREF old = ::GetBkColor(dc);
        DrawFrame(dc, r, style);
        ::SetBkColor(dc, old);
        ::ReleaseDC(window, dc);
        return 0;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(window, FrameProc, 0);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

// The frame of the entry's styles, drawn by the skin.
void AddFrame(HWND window, unsigned style) {
    if (!window || FrameWidth(style) == 0) return;
    ::SetWindowSubclass(window, FrameProc, 0, style & (kBorder | kDialogFrame | kStaticEdge));
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool IsColourMessage(unsigned message) {
    return message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORBTN ||
           message == WM_CTLCOLORSCROLLBAR || message == WM_CTLCOLORLISTBOX;
}

std::string EntryText(const ControlTemplate& entry) { return entry.text ? entry.text : ""; }

// A fixed-pitch font as tall as the skin's, shared by every box that asks.
HFONT FixedPitchFont() {
    static HFONT font = [] {
        LOGFONTW f{};
        ::GetObjectW(SkinFont(), sizeof f, &f);
        f.lfWidth = 0;
        f.lfWeight = FW_NORMAL;
        f.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        ::wcscpy(f.lfFaceName, L"Courier New");
        return ::CreateFontIndirectW(&f);
    }();
    return font;
}

}  // namespace

// ---- shared -----------------------------------------------------------------

SkinHwnd MakeControlWindow(SkinHwnd parent, const wchar_t* className, unsigned long style, unsigned long exStyle,
                           const ControlTemplate& entry, const PixelRect& rect, HFONT__* font,
                           const std::string& text) {
    style |= WS_CHILD;
    if (!(entry.style & kHidden)) style |= WS_VISIBLE;
    if (entry.style & kTabStop) style |= WS_TABSTOP;
    if (entry.style & kGroup) style |= WS_GROUP;
    HWND window = ::CreateWindowExW(exStyle, className, WideText(text).c_str(), style, rect.x, rect.y, rect.width,
                                    rect.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    if (window && font) ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return window;
}

std::intptr_t AnswerControlColours(HDC dc, bool transparent) {
    ::SetTextColor(dc, SkinRgb(kControlText));
    ::SetBkColor(dc, SkinRgb(kControlBrush));
    ::SetBkMode(dc, transparent ? TRANSPARENT : OPAQUE);
    return reinterpret_cast<std::intptr_t>(ControlBrush());
}

HFONT ControlFont(HWND window) {
    HFONT font = window ? reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)) : nullptr;
    return font ? font : SkinFont();
}

int LineSpacing(HFONT font) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font ? font : SkinFont());
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return tm.tmHeight + tm.tmExternalLeading;
}

// ---- labels -----------------------------------------------------------------

bool CSkinLabel::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    styleBits = entry.style;
    DWORD style = SS_NOPREFIX;  // plain text: an ampersand is shown
    style |= entry.style & kAlignCenter ? SS_CENTER : entry.style & kAlignRight ? SS_RIGHT : SS_LEFT;
    // Wrapping a label one line tall would only hide its words below it: it
    // ends in an ellipsis instead (which keeps it on one line).
    const int inner = rect.height - 2 * FrameWidth(entry.style);
    if (inner < 2 * LineSpacing(font)) style |= SS_ENDELLIPSIS;
    HWND window = MakeControlWindow(parent, L"STATIC", style, 0, entry, rect, font, EntryText(entry));
    if (!window) return false;
    Attach(window);
    AddFrame(window, entry.style);
    return true;
}

bool CSkinLabel::OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t, std::intptr_t& result) {
    if (message != WM_CTLCOLORSTATIC) return false;
    result = AnswerControlColours(reinterpret_cast<HDC>(wParam), true);
    return true;
}

bool CSkinIconStatic::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    HWND window = MakeControlWindow(parent, L"STATIC", SS_ICON, 0, entry, rect, font);
    if (!window) return false;
    Attach(window);
    if (HICON icon = LoadSkinIcon(entry.text ? std::atoi(entry.text) : 0, 32))
        ::SendMessageW(window, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    return true;
}

// ---- edits ------------------------------------------------------------------

bool CSkinEdit::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    DWORD style = ES_LEFT;
    if (entry.style & kAutoHScroll) style |= ES_AUTOHSCROLL;
    HWND window = MakeControlWindow(parent, L"EDIT", style, 0, entry, rect, font, EntryText(entry));
    if (!window) return false;
    Attach(window);
    ::SendMessageW(window, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
    AddFrame(window, entry.style);
    return true;
}

bool CSkinEdit::OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t, std::intptr_t& result) {
    // A read-only or disabled edit asks with WM_CTLCOLORSTATIC.
    if (message != WM_CTLCOLOREDIT && message != WM_CTLCOLORSTATIC) return false;
    result = AnswerControlColours(reinterpret_cast<HDC>(wParam), false);
    return true;
}

void CSkinEdit::SelectAll() {
    if (hwnd) ::SendMessageW(hwnd, EM_SETSEL, 0, -1);
}

bool CSkinMultiEdit::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    entryCopy = entry;
    place = rect;
    // No ES_WANTRETURN: Enter goes to the window's default command and
    // Ctrl+Enter starts a new line. The system's frame is the thin black
    // line the skin draws.
    DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_NOHIDESEL;
    if (entry.style & kBorder) style |= WS_BORDER;
    if (fixedPitch) style |= ES_AUTOHSCROLL | WS_HSCROLL;
    HWND window = MakeControlWindow(parent, L"EDIT", style, 0, entry, rect, fixedPitch ? FixedPitchFont() : font,
                                    EntryText(entry));
    if (!window) return false;
    if (!fixedPitch) baseFont = font;
    Attach(window);
    ::SendMessageW(window, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(2, 0));
    FitScrollBars();
    return true;
}

bool CSkinMultiEdit::OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                 std::intptr_t& result) {
    // Typing changes the text's height; the window still hears of it.
    if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) FitScrollBars();
    return CSkinEdit::OnReflected(message, wParam, lParam, result);
}

void CSkinMultiEdit::FitScrollBars() {
    if (!hwnd) return;
    // The edit sets its bars' ranges itself; a bar shows only while its
    // range is larger than its page.
    for (int bar : {SB_VERT, SB_HORZ}) {
        if (bar == SB_HORZ && !fixedPitch) {
            ::ShowScrollBar(hwnd, SB_HORZ, FALSE);
            continue;
        }
        SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
        const bool known = ::GetScrollInfo(hwnd, bar, &info);
        const bool needed = known && info.nMax - info.nMin + 1 > static_cast<int>(info.nPage) && info.nPage > 0;
        ::ShowScrollBar(hwnd, bar, needed);
    }
}

void CSkinMultiEdit::SetText(const std::string& text) {
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf += '\r';
        crlf += text[i];
    }
    CSkinWindow::SetText(crlf);
    FitScrollBars();
}

void CSkinMultiEdit::SetFixedPitch(bool fixed) {
    if (fixed == fixedPitch) return;
    fixedPitch = fixed;
    if (!hwnd) return;
    // Whether lines wrap is fixed when an edit is made: the box is made
    // again in its place, with its text, state and place among its siblings.
    HWND old = hwnd;
    HWND parent = ::GetParent(old);
    const std::string text = GetText();
    const bool visible = (::GetWindowLongW(old, GWL_STYLE) & WS_VISIBLE) != 0;
    const bool enabled = ::IsWindowEnabled(old) != FALSE;
    const bool focused = ::GetFocus() == old;
    ControlTemplate entry = entryCopy;
    entry.style = (entry.style & ~unsigned{kHidden}) | (visible ? 0u : unsigned{kHidden});
    entry.text = nullptr;
    hwnd = nullptr;
    if (!Create(parent, entry, place, baseFont)) {
        hwnd = old;
        fixedPitch = !fixed;
        return;
    }
    ::SetWindowPos(hwnd, old, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowLongPtrW(old, GWLP_USERDATA, 0);
    ::DestroyWindow(old);
    ::EnableWindow(hwnd, enabled);
    SetText(text);
    if (focused) ::SetFocus(hwnd);
}

// ---- check and radio buttons --------------------------------------------------

namespace {

HWND MakeButton(SkinHwnd parent, DWORD kind, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    DWORD style = kind | BS_VCENTER;
    if (entry.style & kMultiLine) style |= BS_MULTILINE;
    return MakeControlWindow(parent, L"BUTTON", style, 0, entry, rect, font, EntryText(entry));
}

}  // namespace

bool CSkinCheckBox::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    HWND window = MakeButton(parent, BS_AUTOCHECKBOX, entry, rect, font);
    if (!window) return false;
    Attach(window);
    return true;
}

bool CSkinCheckBox::OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t, std::intptr_t& result) {
    if (message != WM_CTLCOLORBTN && message != WM_CTLCOLORSTATIC) return false;
    result = AnswerControlColours(reinterpret_cast<HDC>(wParam), true);
    return true;
}

void CSkinCheckBox::SetChecked(bool checked) {
    if (hwnd) ::SendMessageW(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CSkinCheckBox::IsChecked() const {
    return hwnd && ::SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool CSkinRadioButton::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    HWND window = MakeButton(parent, BS_AUTORADIOBUTTON, entry, rect, font);
    if (!window) return false;
    Attach(window);
    return true;
}

// ---- scroll bars ------------------------------------------------------------

bool CSkinScrollBar::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    vertical = (entry.style & kVertical) != 0;
    HWND window = MakeControlWindow(parent, L"SCROLLBAR", vertical ? SBS_VERT : SBS_HORZ, 0, entry, rect, font);
    if (!window) return false;
    Attach(window);
    // No page: a thumb of fixed size, as the skin's bars have.
    SetScrollRange(0, 100, false);
    return true;
}

bool CSkinScrollBar::OnReflected(unsigned message, std::uintptr_t wParam, std::intptr_t, std::intptr_t& result) {
    if (!IsColourMessage(message)) return false;
    result = AnswerControlColours(reinterpret_cast<HDC>(wParam), false);
    return true;
}

void CSkinScrollBar::SetScrollRange(int minPos, int maxPos, bool redraw) {
    if (!hwnd) return;
    SCROLLINFO info{sizeof info, SIF_RANGE, minPos, maxPos, 0, 0, 0};
    ::SetScrollInfo(hwnd, SB_CTL, &info, redraw);
}

void CSkinScrollBar::GetScrollRange(int* minPos, int* maxPos) const {
    SCROLLINFO info{sizeof info, SIF_RANGE, 0, 0, 0, 0, 0};
    if (hwnd) ::GetScrollInfo(hwnd, SB_CTL, &info);
    if (minPos) *minPos = info.nMin;
    if (maxPos) *maxPos = info.nMax;
}

int CSkinScrollBar::SetScrollPos(int pos, bool redraw) {
    const int old = GetScrollPos();
    if (!hwnd) return old;
    SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, pos, 0};
    ::SetScrollInfo(hwnd, SB_CTL, &info, redraw);
    return old;
}

int CSkinScrollBar::GetScrollPos() const {
    SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, 0, 0};
    if (hwnd) ::GetScrollInfo(hwnd, SB_CTL, &info);
    return info.nPos;
}

void CSkinScrollBar::SendScrollCode(int code) {
    if (!hwnd) return;
    HWND parent = ::GetParent(hwnd);
    const UINT message = vertical ? WM_VSCROLL : WM_HSCROLL;
    ::SendMessageW(parent, message, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(hwnd));
    ::SendMessageW(parent, message, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(hwnd));
}

bool CSkinScrollBar::ReportWheel(int delta) {
    if (!hwnd) return false;
    // A fine-grained wheel (a touchpad) sends parts of a notch.
    wheelRest += delta;
    const int notches = wheelRest / WHEEL_DELTA;
    wheelRest -= notches * WHEEL_DELTA;
    if (notches == 0) return delta != 0;
    HWND parent = ::GetParent(hwnd);
    const UINT message = vertical ? WM_VSCROLL : WM_HSCROLL;
    const WPARAM code = MAKEWPARAM(notches > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
    for (int i = 0; i < std::abs(notches) * wheelLines; ++i)
        ::SendMessageW(parent, message, code, reinterpret_cast<LPARAM>(hwnd));
    ::SendMessageW(parent, message, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(hwnd));
    return true;
}

// ---- up-down ----------------------------------------------------------------

bool CSkinUpDown::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    styleBits = entry.style;
    DWORD style = UDS_NOTHOUSANDS;
    if (entry.style & kSetBuddyInt) style |= UDS_SETBUDDYINT;
    if (entry.style & kAlignBuddyRight) style |= UDS_ALIGNRIGHT;
    if (entry.style & kArrowKeys) style |= UDS_ARROWKEYS;
    HWND window = MakeControlWindow(parent, UPDOWN_CLASSW, style, 0, entry, rect, font);
    if (!window) return false;
    Attach(window);
    SetRange32(0, 100);
    return true;
}

bool CSkinUpDown::OnReflected(unsigned message, std::uintptr_t, std::intptr_t lParam, std::intptr_t& result) {
    // The control tells its owner of each step with WM_VSCROLL; it has
    // already written the buddy, and it is no scroll bar of the window's.
    if ((message == WM_VSCROLL || message == WM_HSCROLL) && reinterpret_cast<HWND>(lParam) == hwnd) {
        result = 0;
        return true;
    }
    return false;
}

void CSkinUpDown::SetBuddy(CSkinEdit* b) {
    buddy = b;
    if (hwnd) ::SendMessageW(hwnd, UDM_SETBUDDY, reinterpret_cast<WPARAM>(b ? b->Handle() : nullptr), 0);
}

void CSkinUpDown::SetRange32(int low, int high) {
    if (hwnd) ::SendMessageW(hwnd, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void CSkinUpDown::GetRange32(int* low, int* high) const {
    int lo = 0, hi = 0;
    if (hwnd) ::SendMessageW(hwnd, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
    if (low) *low = lo;
    if (high) *high = hi;
}

void CSkinUpDown::SetPos32(int pos) {
    if (hwnd) ::SendMessageW(hwnd, UDM_SETPOS32, 0, pos);
}

bool CSkinUpDown::ReadBuddy(int* value) const {
    if (!buddy || !(styleBits & kSetBuddyInt)) return false;
    const std::string text = buddy->GetText();
    std::size_t a = 0, b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
    if (a == b) return false;
    const std::string number = text.substr(a, b - a);
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(number.c_str(), &end, 10);
    if (errno != 0 || end != number.c_str() + number.size() || v < INT_MIN || v > INT_MAX) return false;
    *value = static_cast<int>(v);
    return true;
}

int CSkinUpDown::GetPos32() const {
    int low, high;
    GetRange32(&low, &high);
    int v;
    if (ReadBuddy(&v)) return std::clamp(v, std::min(low, high), std::max(low, high));
    return hwnd ? static_cast<int>(::SendMessageW(hwnd, UDM_GETPOS32, 0, 0)) : 0;
}

void CSkinUpDown::Step(int direction) {
    if (!hwnd) return;
    int low, high;
    GetRange32(&low, &high);
    int current = static_cast<int>(::SendMessageW(hwnd, UDM_GETPOS32, 0, 0));
    int v;
    if (ReadBuddy(&v)) current = v;
    const int lo = std::min(low, high), hi = std::max(low, high);
    // The up arrow moves towards the range's second bound.
    const int delta = high >= low ? direction : -direction;
    const long long next = std::clamp<long long>(static_cast<long long>(current) + delta, lo, hi);
    if (next == current && current >= lo && current <= hi) return;  // at a limit: nothing changes
    SetPos32(static_cast<int>(next));
}
