#include "skin/win32/Win32Api.h"

#include "skin/win32/CSkinControls.h"

#include <windowsx.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <utility>

#include "platform/win32/WideText.h"
#include "skin/SkinIds.h"
#include "skin/win32/ControlWindow.h"
#include "skin/win32/SkinLook.h"

namespace {

LRESULT CALLBACK EditBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR);

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

// A control whose face the skin paints whole. The system draws some changes
// (focus, press, check, a dragged thumb) at once rather than through
// WM_PAINT: the skin's face goes over them when they are done.
using Painter = void (*)(HWND, HDC);

LRESULT CALLBACK FaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    const auto paint = reinterpret_cast<Painter>(data);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window, &ps);
        paint(window, dc);
        ::EndPaint(window, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(window, FaceProc, 0);
        return ::DefSubclassProc(window, message, wParam, lParam);
    default:
        break;
    }
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    switch (message) {
    case WM_SETFOCUS: case WM_KILLFOCUS: case WM_ENABLE: case WM_SETTEXT: case BM_SETCHECK: case BM_SETSTATE:
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_KEYDOWN: case WM_KEYUP: case WM_CAPTURECHANGED: {
        HDC dc = ::GetDC(window);
        paint(window, dc);
        ::ReleaseDC(window, dc);
        break;
    }
    default:
        break;
    }
    return result;
}

void PaintFace(HWND window, Painter paint) {
    ::SetWindowSubclass(window, FaceProc, 0, reinterpret_cast<DWORD_PTR>(paint));
}

bool IsColourMessage(unsigned message) {
    return message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORBTN ||
           message == WM_CTLCOLORSCROLLBAR || message == WM_CTLCOLORLISTBOX;
}

std::string EntryText(const ControlTemplate& entry) { return entry.text ? entry.text : ""; }

// The fixed-pitch face as tall as the skin's font, width 0 for the face's own,
// else narrowed to width. The Qt build's face where it is installed (Wine on
// Linux), so that both builds lay out a dump alike.
HFONT MakeFixedPitchFont(int width) {
    LOGFONTW f{};
    ::GetObjectW(SkinFont(), sizeof f, &f);
    f.lfWidth = width;
    f.lfWeight = FW_NORMAL;
    f.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    static const bool dejaVu = [&f] {
        LOGFONTW probe = f;
        ::wcscpy(probe.lfFaceName, L"DejaVu Sans Mono");
        HFONT font = ::CreateFontIndirectW(&probe);
        HDC dc = ::GetDC(nullptr);
        HGDIOBJ old = ::SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = {};
        ::GetTextFaceW(dc, LF_FACESIZE, face);
        ::SelectObject(dc, old);
        ::ReleaseDC(nullptr, dc);
        ::DeleteObject(font);
        return ::wcscmp(face, L"DejaVu Sans Mono") == 0;
    }();
    ::wcscpy(f.lfFaceName, dejaVu ? L"DejaVu Sans Mono" : L"Courier New");
    return ::CreateFontIndirectW(&f);
}

int AverageCharWidth(HFONT font) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return tm.tmAveCharWidth;
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

namespace {

LRESULT CALLBACK EditBorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(window, EditBorderProc, 0);
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_PAINT) {
        // An edit draws its WS_BORDER itself, inside its client area.
        HDC dc = ::GetDC(window);
        RECT r;
        ::GetClientRect(window, &r);
        ::FrameRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::ReleaseDC(window, dc);
    }
    return result;
}

}  // namespace

void DrawBlackBorder(HWND window) {
    if (!(::GetWindowLongW(window, GWL_STYLE) & WS_BORDER)) return;
    HDC dc = ::GetWindowDC(window);
    RECT r;
    ::GetWindowRect(window, &r);
    ::OffsetRect(&r, -r.left, -r.top);
    ::FrameRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::ReleaseDC(window, dc);
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

namespace {

// The font narrowed to stretch percent of its width, made once for each.
HFONT NarrowedFont(HFONT base, int stretch) {
    static std::map<std::pair<HFONT, int>, HFONT> made;
    HFONT& font = made[{base, stretch}];
    if (!font) {
        LOGFONTW f{};
        ::GetObjectW(base, sizeof f, &f);
        f.lfWidth = std::max(1, AverageCharWidth(base) * stretch / 100);
        font = ::CreateFontIndirectW(&f);
    }
    return font;
}

// A one-line label's text wider than the label is narrowed until it fits
// whole, down to half its width, as the Qt skin's; beyond that its end is
// an ellipsis.
void FitLabelFont(HWND label, HFONT base) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(label)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(label, text.data(), static_cast<int>(text.size()))));
    RECT client;
    ::GetClientRect(label, &client);
    HDC dc = ::GetDC(label);
    HGDIOBJ old = ::SelectObject(dc, base);
    auto fits = [&](HFONT font) {
        ::SelectObject(dc, font);
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        return extent.cx <= client.right;
    };
    HFONT chosen = base;
    if (!text.empty() && !fits(base))
        for (int stretch = 95; stretch >= 50; stretch -= 5)
            if (fits(chosen = NarrowedFont(base, stretch))) break;
    ::SelectObject(dc, old);
    ::ReleaseDC(label, dc);
    if (reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)) != chosen)
        ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(chosen), TRUE);
}

LRESULT CALLBACK OneLineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR base) {
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(window, OneLineProc, 0);
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_SETTEXT) FitLabelFont(window, reinterpret_cast<HFONT>(base));
    return result;
}

}  // namespace

bool CSkinLabel::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    styleBits = entry.style;
    DWORD style = SS_NOPREFIX;  // plain text: an ampersand is shown
    style |= entry.style & kAlignCenter ? SS_CENTER : entry.style & kAlignRight ? SS_RIGHT : SS_LEFT;
    // Wrapping a label one line tall would only hide its words below it: it
    // ends in an ellipsis instead (which keeps it on one line).
    const int inner = rect.height - 2 * FrameWidth(entry.style);
    const bool oneLine = inner < 2 * LineSpacing(font);
    if (oneLine) style |= SS_ENDELLIPSIS;
    HWND window = MakeControlWindow(parent, L"STATIC", style, 0, entry, rect, font, EntryText(entry));
    if (!window) return false;
    Attach(window);
    AddFrame(window, entry.style);
    if (oneLine) {
        ::SetWindowSubclass(window, OneLineProc, 0, reinterpret_cast<DWORD_PTR>(ControlFont(window)));
        FitLabelFont(window, ControlFont(window));
    }
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
    // No ES_WANTRETURN: Enter goes to the window's default command and
    // Ctrl+Enter starts a new line.
    DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_NOHIDESEL;
    if (entry.style & kBorder) style |= WS_BORDER;
    HWND window = MakeControlWindow(parent, L"EDIT", style, 0, entry, rect, font, EntryText(entry));
    if (!window) return false;
    baseFont = font;
    Attach(window);
    ::SendMessageW(window, EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(kLeftMargin, 0));
    // The edit draws its WS_BORDER in the window-frame colour; the skin's
    // border is black.
    if (entry.style & kBorder) ::SetWindowSubclass(window, EditBorderProc, 0, 0);
    ::SetWindowSubclass(window, EditBarProc, 0, 0);
    FitFont();
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
    // The edit keeps the bar's range to its lines.
    SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
    const bool known = ::GetScrollInfo(hwnd, SB_VERT, &info);
    ::ShowScrollBar(hwnd, SB_VERT, known && info.nPage > 0 && info.nMax - info.nMin + 1 > static_cast<int>(info.nPage));
}

CSkinMultiEdit::~CSkinMultiEdit() {
    if (!fittedFont) return;
    if (hwnd) ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(baseFont), FALSE);
    ::DeleteObject(fittedFont);
}

void CSkinMultiEdit::FitFont() {
    if (!hwnd) return;
    HFONT font = nullptr;
    if (fixedPitch) {
        // The widest line narrowed to the room beside a vertical scroll bar,
        // down to 60 % of the face's width.
        std::size_t columns = 0, line = 0;
        for (char c : GetText()) {
            if (c == '\n') line = 0;
            else if (c != '\r' && (static_cast<unsigned char>(c) & 0xc0) != 0x80) columns = std::max(columns, ++line);
        }
        RECT client;
        ::GetClientRect(hwnd, &client);
        const int room = client.right - kLeftMargin - (::GetWindowLongW(hwnd, GWL_STYLE) & WS_VSCROLL
                                                           ? 0 : ::GetSystemMetrics(SM_CXVSCROLL));
        HFONT natural = MakeFixedPitchFont(0);
        const int width = AverageCharWidth(natural);
        const long long wide = static_cast<long long>(width) * static_cast<long long>(columns);
        if (wide > room && wide > 0 && room > 0) {
            ::DeleteObject(natural);
            const int stretch = std::max(60, static_cast<int>(100 * room / wide));
            font = MakeFixedPitchFont(std::max(1, width * stretch / 100));
        } else {
            font = natural;
        }
    }
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : baseFont), TRUE);
    if (fittedFont) ::DeleteObject(fittedFont);
    fittedFont = font;
}

void CSkinMultiEdit::SetText(const std::string& text) {
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) crlf += '\r';
        crlf += text[i];
    }
    CSkinWindow::SetText(crlf);
    if (fixedPitch) FitFont();
    FitScrollBars();
}

void CSkinMultiEdit::SetFixedPitch(bool fixed) {
    if (fixed == fixedPitch) return;
    fixedPitch = fixed;
    // Whether an edit wraps is fixed when it is made, and making it again
    // would lose what the window attached to it (its context menu's
    // command): the face is narrowed instead until the widest line fits.
    FitFont();
    FitScrollBars();
}

// ---- check and radio buttons --------------------------------------------------

namespace {

constexpr int kIndicator = 13;
constexpr COLORREF kIndicatorRim = RGB(151, 151, 222);

// Check and radio buttons drawn as the Qt skin's: the indicator filled with
// the even-row colour inside a light rim, a yellow tick or dot, the text
// beside it (wrapped and centred with BS_MULTILINE).
void PaintChoice(HWND window, HDC dc) {
    RECT r;
    ::GetClientRect(window, &r);
    ::FillRect(dc, &r, ControlBrush());
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    const bool radio = (style & BS_TYPEMASK) == BS_AUTORADIOBUTTON || (style & BS_TYPEMASK) == BS_RADIOBUTTON;
    const LRESULT state = ::SendMessageW(window, BM_GETSTATE, 0, 0);
    const bool enabled = ::IsWindowEnabled(window) != FALSE, on = (state & BST_CHECKED) != 0;
    const COLORREF markColour = enabled ? SkinRgb(kControlText) : RGB(150, 150, 90);
    const SkinColor even = kListEvenRow;
    const COLORREF ground = state & BST_PUSHED ? RGB(even.r * 10 / 13, even.g * 10 / 13, even.b * 10 / 13)
                                               : SkinRgb(even);
    const int top = (r.bottom - kIndicator) / 2;
    const RECT box{0, top, kIndicator, top + kIndicator};
    HPEN rim = ::CreatePen(PS_SOLID, 1, enabled ? kIndicatorRim : RGB(120, 120, 150));
    HBRUSH fill = ::CreateSolidBrush(ground), mark = ::CreateSolidBrush(markColour);
    const int saved = ::SaveDC(dc);
    ::SelectObject(dc, rim);
    ::SelectObject(dc, fill);
    if (radio) {
        ::Ellipse(dc, box.left, box.top, box.right, box.bottom);
        if (on) {
            ::SelectObject(dc, ::GetStockObject(NULL_PEN));
            ::SelectObject(dc, mark);
            const int c = kIndicator / 2, d = kIndicator / 4;
            ::Ellipse(dc, c - d, top + c - d, c + d + 1, top + c + d + 1);
        }
    } else {
        ::Rectangle(dc, box.left, box.top, box.right, box.bottom);
        if (on) {
            HPEN tick = ::CreatePen(PS_SOLID, 2, markColour);
            ::SelectObject(dc, tick);
            const POINT path[3] = {{3, top + 6}, {5, top + 9}, {9, top + 3}};
            ::Polyline(dc, path, 3);
            ::SelectObject(dc, rim);
            ::DeleteObject(tick);
        }
    }
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    ::SelectObject(dc, ControlFont(window));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, markColour);
    RECT place{kIndicator + 5, 0, r.right, r.bottom};
    UINT format = DT_LEFT | DT_NOPREFIX;
    if (style & BS_MULTILINE) {
        RECT need = place;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, format | DT_WORDBREAK | DT_CALCRECT);
        place.top = std::max(0L, (r.bottom - (need.bottom - need.top)) / 2);
        place.bottom = place.top + (need.bottom - need.top);
        place.right = std::min(r.right, need.right);
        format |= DT_WORDBREAK;
    } else {
        format |= DT_VCENTER | DT_SINGLELINE;
    }
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place, format);
    if (::GetFocus() == window) {
        RECT focus = place;
        if (!(style & BS_MULTILINE))
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &focus, format | DT_CALCRECT);
        ::InflateRect(&focus, 1, 0);
        ::DrawFocusRect(dc, &focus);
    }
    ::RestoreDC(dc, saved);
    ::DeleteObject(rim);
    ::DeleteObject(fill);
    ::DeleteObject(mark);
}

HWND MakeButton(SkinHwnd parent, DWORD kind, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    DWORD style = kind | BS_VCENTER;
    if (entry.style & kMultiLine) style |= BS_MULTILINE;
    HWND window = MakeControlWindow(parent, L"BUTTON", style, 0, entry, rect, font, EntryText(entry));
    if (window) PaintFace(window, PaintChoice);
    return window;
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

namespace {

constexpr COLORREF kPlate = RGB(132, 132, 176);
constexpr COLORREF kPlateLight = RGB(150, 150, 190);
constexpr COLORREF kPlateDark = RGB(66, 66, 105);
constexpr COLORREF kBarRim = RGB(120, 120, 210);
constexpr COLORREF kArrow = RGB(210, 210, 66);

void Plate(HDC dc, const RECT& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    FillLine(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, kPlate);
    Edge(dc, r, kPlateLight, kPlateDark);
}

// Drawn as the Qt skin's bars: a sunken rim round the control brush, and
// light plates for the arrows (yellow) and the thumb. The system's own
// geometry places them, so that its clicks land on what is drawn.
// The face of a bar whose rectangle is r = (0, 0, width, height) in dc, as
// info (the system's, in the bar's own coordinates) has it.
void PaintBarFace(HDC dc, const RECT& r, const SCROLLBARINFO& info, bool vertical) {
    ::FillRect(dc, &r, ControlBrush());
    Edge(dc, r, kFrameDeep, kBarRim);
    const int length = vertical ? r.bottom : r.right, across = vertical ? r.right : r.bottom;
    auto along = [&](int from, int to) {
        return vertical ? RECT{2, std::max(from, 1), across - 1, std::min(to, length - 1)}
                        : RECT{std::max(from, 1), 2, std::min(to, length - 1), across - 1};
    };
    const int button = std::min(static_cast<int>(info.dxyLineButton), length / 2);
    const bool enabled = !(info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE);
    HBRUSH yellow = ::CreateSolidBrush(enabled ? kArrow : RGB(150, 150, 90));
    const int saved = ::SaveDC(dc);
    ::SelectObject(dc, yellow);
    ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    for (int end : {0, 1}) {
        const RECT plate = end ? along(length - button, length) : along(0, button);
        Plate(dc, plate);
        const int cx = static_cast<int>(plate.left + plate.right) / 2, cy = static_cast<int>(plate.top + plate.bottom) / 2;
        const int a = std::max(2, static_cast<int>(std::min(plate.right - plate.left, plate.bottom - plate.top)) / 4);
        const int tip = end ? (a + 1) / 2 : -(a + 1) / 2;  // towards the end it stands at
        POINT points[3];
        if (vertical) {
            points[0] = {cx - a, cy - tip};
            points[1] = {cx + a + 1, cy - tip};
            points[2] = {cx, cy + tip};
        } else {
            points[0] = {cx - tip, cy - a};
            points[1] = {cx - tip, cy + a + 1};
            points[2] = {cx + tip, cy};
        }
        ::Polygon(dc, points, 3);
    }
    if (enabled && info.xyThumbBottom > info.xyThumbTop) Plate(dc, along(info.xyThumbTop, info.xyThumbBottom));
    ::RestoreDC(dc, saved);
    ::DeleteObject(yellow);
}

void PaintScrollBar(HWND bar, HDC dc) {
    RECT r;
    ::GetClientRect(bar, &r);
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    if (!::GetScrollBarInfo(bar, OBJID_CLIENT, &info)) {
        ::FillRect(dc, &r, ControlBrush());
        return;
    }
    PaintBarFace(dc, r, info, (::GetWindowLongW(bar, GWL_STYLE) & SBS_VERT) != 0);
}

// A multi-line edit's own vertical bar, in its non-client area: dc is the
// window's (GetWindowDC, or WM_PRINT's).
void PaintEditBar(HWND edit, HDC dc) {
    SCROLLBARINFO info{};
    info.cbSize = sizeof info;
    // By the style: a window not shown has all its bars "invisible".
    if (!(::GetWindowLongW(edit, GWL_STYLE) & WS_VSCROLL) || !::GetScrollBarInfo(edit, OBJID_VSCROLL, &info)) return;
    RECT window;
    ::GetWindowRect(edit, &window);
    const RECT bar = info.rcScrollBar;
    const int saved = ::SaveDC(dc);
    // The edit's own printing of its client area may leave the clip there.
    ::SelectClipRgn(dc, nullptr);
    ::IntersectClipRect(dc, bar.left - window.left, bar.top - window.top, bar.right - window.left,
                        bar.bottom - window.top);
    ::OffsetViewportOrgEx(dc, bar.left - window.left, bar.top - window.top, nullptr);
    PaintBarFace(dc, RECT{0, 0, bar.right - bar.left, bar.bottom - bar.top}, info, true);
    ::RestoreDC(dc, saved);
}

// Messages that neither scroll nor draw an edit's bar, and come often.
bool QuietForTheBar(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_PAINT: case WM_ERASEBKGND: case WM_GETTEXT: case WM_GETTEXTLENGTH: case WM_NCHITTEST:
    case WM_SETCURSOR: case WM_GETDLGCODE: case WM_GETFONT: case EM_GETLINECOUNT: case EM_GETSEL:
        return true;
    case WM_MOUSEMOVE:
        return !(wParam & MK_LBUTTON);  // a selection dragged past the edge scrolls
    default:
        return false;
    }
}

// The system draws an edit's bar whenever it scrolls, without WM_NCPAINT:
// the skin's face goes over it after every message that may have drawn it.
LRESULT CALLBACK EditBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(window, EditBarProc, 0);
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) return result;
    if (message == WM_PRINT) {
        if (lParam & PRF_NONCLIENT) PaintEditBar(window, reinterpret_cast<HDC>(wParam));
    } else if (!QuietForTheBar(message, wParam)) {
        HDC dc = ::GetWindowDC(window);
        PaintEditBar(window, dc);
        ::ReleaseDC(window, dc);
    }
    return result;
}

}  // namespace

bool CSkinScrollBar::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    vertical = (entry.style & kVertical) != 0;
    HWND window = MakeControlWindow(parent, L"SCROLLBAR", vertical ? SBS_VERT : SBS_HORZ, 0, entry, rect, font);
    if (!window) return false;
    Attach(window);
    PaintFace(window, PaintScrollBar);
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
    // The control would draw itself at once; the skin's face is drawn instead.
    ::SetScrollInfo(hwnd, SB_CTL, &info, FALSE);
    if (redraw) ::InvalidateRect(hwnd, nullptr, FALSE);
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
    // The control would draw itself at once; the skin's face is drawn instead.
    ::SetScrollInfo(hwnd, SB_CTL, &info, FALSE);
    if (redraw) ::InvalidateRect(hwnd, nullptr, FALSE);
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

namespace {

// The arrows drawn as the Qt skin's: plates on the control brush with a
// bevel, sunk while pressed, and yellow triangles. The subclass's data is
// the arrow held down: 1 up, 2 down, 0 none.
void PaintUpDown(HWND window, HDC dc, DWORD_PTR pressed) {
    RECT r;
    ::GetClientRect(window, &r);
    const int half = r.bottom / 2;
    const bool enabled = ::IsWindowEnabled(window) != FALSE;
    HBRUSH mark = ::CreateSolidBrush(enabled ? SkinRgb(kControlText) : RGB(150, 150, 90));
    for (int up : {1, 0}) {
        const RECT plate = up ? RECT{0, 0, r.right, half} : RECT{0, half, r.right, r.bottom};
        const bool sunk = pressed == (up ? 1u : 2u);
        ::FillRect(dc, &plate, ControlBrush());
        Edge(dc, plate, sunk ? kFrameDark : kFrameLight, sunk ? kFrameLight : kFrameDark);
        const int w = plate.right - plate.left, h = plate.bottom - plate.top;
        const int a = std::max(2, std::min(w, h) / 4);
        const int cx = plate.left + w / 2 + (sunk ? 1 : 0), cy = plate.top + h / 2 + (sunk ? 1 : 0);
        // Row by row from the tip, one pixel wider on each side per row: a
        // filled polygon this small loses the row at its tip to the fill rule.
        for (int i = 0; i < a; ++i) {
            const int y = up ? cy - a / 2 + i : cy + (a + 1) / 2 - 1 - i;
            const RECT row{cx - i, y, cx + i + 1, y + 1};
            ::FillRect(dc, &row, mark);
        }
    }
    ::DeleteObject(mark);
}

LRESULT CALLBACK UpDownProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR pressed) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window, &ps);
        PaintUpDown(window, dc, pressed);
        ::EndPaint(window, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
        RECT r;
        ::GetClientRect(window, &r);
        const DWORD_PTR now = message != WM_LBUTTONDOWN ? 0 : GET_Y_LPARAM(lParam) < r.bottom / 2 ? 1 : 2;
        ::SetWindowSubclass(window, UpDownProc, 0, now);
        ::InvalidateRect(window, nullptr, FALSE);
        break;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(window, UpDownProc, 0);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool CSkinUpDown::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    styleBits = entry.style;
    DWORD style = UDS_NOTHOUSANDS;
    if (entry.style & kSetBuddyInt) style |= UDS_SETBUDDYINT;
    if (entry.style & kAlignBuddyRight) style |= UDS_ALIGNRIGHT;
    if (entry.style & kArrowKeys) style |= UDS_ARROWKEYS;
    HWND window = MakeControlWindow(parent, UPDOWN_CLASSW, style, 0, entry, rect, font);
    if (!window) return false;
    Attach(window);
    ::SetWindowSubclass(window, UpDownProc, 0, 0);
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
