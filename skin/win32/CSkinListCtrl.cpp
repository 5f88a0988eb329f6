#include "skin/win32/Win32Api.h"

#include "skin/win32/CSkinListCtrl.h"

#include <algorithm>
#include <cstdint>

#include "platform/win32/WideText.h"
#include "skin/SkinIds.h"
#include "skin/win32/CSkinControls.h"
#include "skin/win32/ControlWindow.h"
#include "skin/win32/FilterListScroller.h"
#include "skin/win32/SkinLook.h"

namespace {

constexpr int kWheelRows = 3;  // rows a notch of the wheel moves a list without a bar

COLORREF Rgb(SkinColor c) { return SkinRgb(c); }

void FillSolid(HDC dc, const RECT& r, COLORREF colour) {
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

std::wstring HeaderText(HWND header, int index) {
    wchar_t buffer[260] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 260;
    ::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

// The column header skinned like the rest of the window: plates with a
// bevel on the control brush, yellow headings.
void PaintHeader(HWND header, HDC dc) {
    RECT strip;
    ::GetClientRect(header, &strip);
    FillSolid(dc, strip, Rgb(kControlBrush));
    const int count = static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    HGDIOBJ oldFont = ::SelectObject(dc, ControlFont(::GetParent(header)));
    ::SetBkMode(dc, TRANSPARENT);
    int left = strip.left;
    for (int k = 0; k <= count; ++k) {
        RECT cell{left, strip.top, strip.right, strip.bottom};
        if (k < count) {
            RECT r{};
            ::SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(&r));
            cell.right = left + std::max(0, static_cast<int>(r.right - r.left));
        }
        if (cell.right > cell.left) {
            const COLORREF light = RGB(121, 121, 192), dark = RGB(16, 16, 44);
            FillSolid(dc, RECT{cell.left, cell.top, cell.right, cell.top + 1}, light);
            FillSolid(dc, RECT{cell.left, cell.top, cell.left + 1, cell.bottom}, light);
            FillSolid(dc, RECT{cell.left, cell.bottom - 1, cell.right, cell.bottom}, dark);
            FillSolid(dc, RECT{cell.right - 1, cell.top, cell.right, cell.bottom}, dark);
            if (k < count) {
                const std::wstring text = HeaderText(header, k);
                RECT place{cell.left + 6, cell.top, cell.right - 2, cell.bottom};
                RECT clip{cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1};
                const int saved = ::SaveDC(dc);
                ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
                ::SetTextColor(dc, Rgb(kControlText));
                ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place,
                            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                ::RestoreDC(dc, saved);
            }
        }
        left = cell.right;
    }
    ::SelectObject(dc, oldFont);
}

LRESULT CALLBACK HeaderProc(HWND header, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(header, &ps);
        PaintHeader(header, dc);
        ::EndPaint(header, &ps);
        return 0;
    }
    case HDM_LAYOUT: {
        // As tall as the font and a margin, as the Qt skin's header.
        const LRESULT done = ::DefSubclassProc(header, message, wParam, lParam);
        auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
        HDC dc = ::GetDC(header);
        HGDIOBJ old = ::SelectObject(dc, ControlFont(::GetParent(header)));
        TEXTMETRICW tm{};
        ::GetTextMetricsW(dc, &tm);
        ::SelectObject(dc, old);
        ::ReleaseDC(header, dc);
        const int height = tm.tmHeight + 5;
        layout->pwpos->cy = height;
        layout->prc->top = layout->pwpos->y + height;
        return done;
    }
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(header, HeaderProc, 0);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(header, message, wParam, lParam);
}

}  // namespace

struct CSkinListCtrl::Subclass {
    static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data);
};

CSkinListCtrl::CSkinListCtrl() = default;

CSkinListCtrl::~CSkinListCtrl() {
    scroller.reset();
    if (hwnd) ::RemoveWindowSubclass(hwnd, &Subclass::ListProc, 0);
}

bool CSkinListCtrl::Create(SkinHwnd parent, const ControlTemplate& entry, const PixelRect& rect, HFONT__* font) {
    use = entry.style & kSixColumn ? Use::SixColumn : Use::TwoColumn;
    headerVisible = !(entry.style & kNoHeader);
    // Rows are drawn by the skin (owner draw, which also fixes their height);
    // the list has no scroll bars of its own, whatever it scrolls to.
    DWORD style = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED | WS_CLIPCHILDREN;
    if (!headerVisible) style |= LVS_NOCOLUMNHEADER;
    if (entry.style & kBorder) style |= WS_BORDER;
    HWND window = MakeControlWindow(parent, WC_LISTVIEWW, style, 0, entry, rect, nullptr);
    if (!window) return false;
    Attach(window);
    ::SetWindowSubclass(window, &Subclass::ListProc, 0, reinterpret_cast<DWORD_PTR>(this));
    ::SendMessageW(window, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    ::SendMessageW(window, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(Rgb(background)));
    if (HWND header = reinterpret_cast<HWND>(::SendMessageW(window, LVM_GETHEADER, 0, 0)))
        ::SetWindowSubclass(header, HeaderProc, 0, 0);
    // The font last: the list measures its rows (WM_MEASUREITEM) and lays out
    // its header for it.
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : SkinFont()), TRUE);
    ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

LRESULT CALLBACK CSkinListCtrl::Subclass::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data) {
    auto* self = reinterpret_cast<CSkinListCtrl*>(data);
    bool handled = false;
    const LRESULT result = self->HandleListMessage(message, wParam, lParam, handled);
    if (handled) {
        self->NoteScroll();
        return result;
    }
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(window, &Subclass::ListProc, 0);
    const LRESULT passed = ::DefSubclassProc(window, message, wParam, lParam);
    switch (message) {
    case WM_NCPAINT:
        DrawBlackBorder(window);  // the skin's border is black
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_SIZE:
    case WM_VSCROLL:
    case WM_KEYDOWN:
    case LVM_ENSUREVISIBLE:
    case LVM_SCROLL:
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
        self->NoteScroll();
        break;
    default:
        break;
    }
    return passed;
}

std::intptr_t CSkinListCtrl::HandleListMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                               bool& handled) {
    switch (message) {
    case WM_NCCALCSIZE: {
        // The list view shows bars when its rows overflow; the skin's lists
        // have none (a page view scrolls through its owner's bar).
        const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
        if (style & (WS_HSCROLL | WS_VSCROLL))
            ::SetWindowLongPtrW(hwnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_HSCROLL | WS_VSCROLL));
        return 0;  // not handled: the system computes the frame
    }
    case WM_MOUSEWHEEL: {
        const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
        if (wheelBar) {
            wheelBar->ReportWheel(delta);
            handled = true;
            return 0;
        }
        const int steps = delta / WHEEL_DELTA;
        handled = true;
        // Nothing to move: the wheel is the window's (the default passes it
        // to the parent), not the list view's.
        if (steps == 0 || GetItemCount() <= GetCountPerPage())
            return ::DefWindowProcW(hwnd, WM_MOUSEWHEEL, wParam, lParam);
        ScrollToTop(GetTopIndex() - steps * kWheelRows);
        return 0;
    }
    case WM_KEYDOWN: {
        const int n = GetItemCount();
        if (n == 0) return 0;
        const int page = std::max(1, GetCountPerPage());
        int row = GetSelectedRow();
        switch (wParam) {
        case VK_UP: row = row < 0 ? 0 : std::max(0, row - 1); break;
        case VK_DOWN: row = row < 0 ? 0 : std::min(n - 1, row + 1); break;
        case VK_PRIOR: row = std::max(0, (row < 0 ? 0 : row) - (page - 1)); break;
        case VK_NEXT: row = std::min(n - 1, (row < 0 ? 0 : row) + (page - 1)); break;
        case VK_HOME: row = 0; break;
        case VK_END: row = n - 1; break;
        default: return 0;
        }
        EnsureVisible(row);
        SetSelectedRow(row);
        handled = true;
        return 0;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        // The scroller's bar, a child of the list, reports to it.
        if (scroller && lParam && reinterpret_cast<HWND>(lParam) == scroller->Bar()->Handle()) {
            scroller->OnScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
            handled = true;
        }
        return 0;
    case WM_CTLCOLORSCROLLBAR:
        if (scroller && reinterpret_cast<HWND>(lParam) == scroller->Bar()->Handle()) {
            handled = true;
            return AnswerControlColours(reinterpret_cast<HDC>(wParam), false);
        }
        return 0;
    default:
        return 0;
    }
}

void CSkinListCtrl::NoteScroll() {
    if (!hwnd || !scroller || noting) return;
    const int top = GetTopIndex();
    if (top == lastTop) return;
    noting = true;
    lastTop = top;
    scroller->OnListScrolled();
    noting = false;
}

void CSkinListCtrl::ScrollToTop(int top) {
    const int page = std::max(1, GetCountPerPage());
    top = std::clamp(top, 0, std::max(0, GetItemCount() - page));
    const int dy = (top - GetTopIndex()) * RowHeight();
    if (dy != 0) ::SendMessageW(hwnd, LVM_SCROLL, 0, dy);
}

int CSkinListCtrl::RowHeight() const {
    RECT r{};
    r.left = LVIR_BOUNDS;
    if (GetItemCount() > 0 && ::SendMessageW(hwnd, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r)) &&
        r.bottom > r.top)
        return r.bottom - r.top;
    return kRowHeight;
}

bool CSkinListCtrl::OnReflected(unsigned message, std::uintptr_t, std::intptr_t lParam, std::intptr_t& result) {
    if (message == WM_MEASUREITEM) {
        // Sent while the list is made, before it is attached.
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (m->CtlType != ODT_LISTVIEW) return false;
        m->itemHeight = kRowHeight;
        result = TRUE;
        return true;
    }
    if (message == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (d->CtlType != ODT_LISTVIEW) return false;
        // Only whole rows are shown; the rest is ground.
        RECT client;
        ::GetClientRect(hwnd, &client);
        if (d->rcItem.bottom > client.bottom) {
            FillSolid(d->hDC, d->rcItem, Rgb(background));
            result = TRUE;
            return true;
        }
        DrawAction action = d->itemAction & ODA_DRAWENTIRE ? DrawAction::DrawEntire
                            : d->itemAction & ODA_SELECT   ? DrawAction::SelectionChange
                                                           : DrawAction::FocusChange;
        DrawItem(d->hDC, d->rcItem, static_cast<int>(d->itemID), action, (d->itemState & ODS_SELECTED) != 0);
        result = TRUE;
        return true;
    }
    return false;  // NM_DBLCLK and LVN_COLUMNCLICK are the window's
}

void CSkinListCtrl::DrawItem(HDC dc, const RECT& item, int row, DrawAction action, bool isSelected) const {
    const COLORREF rowColour = Rgb(row % 2 ? kListOddRow : kListEvenRow);
    const COLORREF selectedColour = Rgb(SelectedRowColour());
    COLORREF text = Rgb(kControlText);
    bool opaque = true;
    COLORREF textBack = rowColour;

    // The row as wide as its columns, from the first column's edge (the list
    // view may leave a margin before its items).
    RECT ground = item;
    ground.left = FirstColumnLeft(item.left);
    ground.right = ground.left;
    for (int k = 0; k < GetColumnCount(); ++k) ground.right += GetColumnWidth(k);

    if (action == DrawAction::DrawEntire && !isSelected) {
        FillSolid(dc, ground, rowColour);
    } else if (isSelected && (action == DrawAction::DrawEntire || action == DrawAction::SelectionChange)) {
        FillSolid(dc, ground, selectedColour);
        textBack = selectedColour;
    } else if (!isSelected && action == DrawAction::SelectionChange) {
        FillSolid(dc, ground, rowColour);
    } else {
        // A focus change alone repaints no ground; the packet list then
        // writes its texts in the selected-row colour.
        opaque = false;
        if (use == Use::SixColumn && isSelected) text = selectedColour;
    }

    const int saved = ::SaveDC(dc);
    ::SelectObject(dc, ControlFont(hwnd));
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    ::SetTextColor(dc, text);
    ::SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
    ::SetBkColor(dc, textBack);
    int left = ground.left;
    const int columns = GetColumnCount();
    for (int k = 0; k < columns; ++k) {
        const int width = GetColumnWidth(k);
        const std::wstring s = WideText(GetItemString(row, k));
        const RECT clip{left + 5, item.top, left + width, item.bottom};
        if (!s.empty() && clip.right > clip.left)
            ::ExtTextOutW(dc, left + TextOffset(), item.top + 1, ETO_CLIPPED, &clip, s.c_str(),
                          static_cast<UINT>(s.size()), nullptr);
        left += width;
    }
    ::RestoreDC(dc, saved);
}

int CSkinListCtrl::FirstColumnLeft(int itemLeft) const {
    HWND header = reinterpret_cast<HWND>(::SendMessageW(hwnd, LVM_GETHEADER, 0, 0));
    RECT column{};
    if (!header || !::SendMessageW(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&column))) return itemLeft;
    // The header moves with the rows when the list scrolls sideways.
    POINT at{0, 0};
    ::MapWindowPoints(header, hwnd, &at, 1);
    return at.x + column.left;
}

SkinColor CSkinListCtrl::SelectedRowColour() const {
    return use == Use::SixColumn ? kListSelectedSix : kListSelectedTwo;
}

int CSkinListCtrl::TextOffset() const { return use == Use::SixColumn ? 4 : 5; }

void CSkinListCtrl::SetBkColor(SkinColor colour) {
    background = colour;
    if (!hwnd) return;
    ::SendMessageW(hwnd, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(Rgb(colour)));
    ::InvalidateRect(hwnd, nullptr, TRUE);
}

int CSkinListCtrl::GetWidth() const {
    RECT r{};
    if (hwnd) ::GetWindowRect(hwnd, &r);
    return r.right - r.left;
}

int CSkinListCtrl::ClientWidth() const {
    RECT r{};
    if (hwnd) ::GetClientRect(hwnd, &r);
    return r.right - r.left;
}

// ---- columns ------------------------------------------------------------------

int CSkinListCtrl::InsertColumn(int column, const std::string& heading, int format, int width) {
    if (!hwnd || column < 0) return -1;
    std::wstring text = WideText(heading);
    LVCOLUMNW c{};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.fmt = format;
    c.cx = std::max(0, width);
    c.pszText = text.data();
    c.iSubItem = std::min(column, GetColumnCount());
    const int at = static_cast<int>(
        ::SendMessageW(hwnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c.iSubItem), reinterpret_cast<LPARAM>(&c)));
    if (at >= 0) ++columnCount;
    return at;
}

int CSkinListCtrl::GetColumnCount() const { return columnCount; }

int CSkinListCtrl::GetColumnWidth(int column) const {
    if (!hwnd || column < 0 || column >= columnCount) return 0;
    return static_cast<int>(::SendMessageW(hwnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

bool CSkinListCtrl::SetColumnWidth(int column, int width) {
    if (!hwnd || column < 0 || column >= columnCount) return false;
    return ::SendMessageW(hwnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(std::max(0, width), 0)) !=
           0;
}

std::string CSkinListCtrl::GetColumnHeading(int column) const {
    if (!hwnd || column < 0 || column >= columnCount) return {};
    wchar_t buffer[260] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = buffer;
    c.cchTextMax = 260;
    ::SendMessageW(hwnd, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
    return Utf8Text(buffer);
}

// ---- rows -------------------------------------------------------------------

int CSkinListCtrl::InsertItem(int index, const std::string& text) {
    if (!hwnd || index < 0) return -1;
    std::wstring wide = WideText(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = std::min(index, GetItemCount());
    item.pszText = wide.data();
    return static_cast<int>(::SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool CSkinListCtrl::SetItemText(int item, int subItem, const std::string& text) {
    if (!hwnd || item < 0 || item >= GetItemCount() || subItem < 0) return false;
    if (subItem > 0 && subItem >= GetColumnCount()) return false;
    std::wstring wide = WideText(text);
    LVITEMW it{};
    it.iSubItem = subItem;
    it.pszText = wide.data();
    return ::SendMessageW(hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)) != 0;
}

std::string CSkinListCtrl::GetItemString(int item, int subItem) const {
    if (!hwnd || item < 0 || item >= GetItemCount() || subItem < 0) return {};
    std::wstring buffer(256, L'\0');
    for (;;) {
        LVITEMW it{};
        it.iSubItem = subItem;
        it.pszText = buffer.data();
        it.cchTextMax = static_cast<int>(buffer.size());
        const int got = static_cast<int>(
            ::SendMessageW(hwnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)));
        // A text that filled the buffer may have been cut: ask again with more room.
        if (got < static_cast<int>(buffer.size()) - 1) {
            buffer.resize(static_cast<std::size_t>(std::max(0, got)));
            return Utf8Text(buffer);
        }
        buffer.assign(buffer.size() * 4, L'\0');
    }
}

bool CSkinListCtrl::DeleteItem(int item) {
    if (!hwnd || item < 0 || item >= GetItemCount()) return false;
    return ::SendMessageW(hwnd, LVM_DELETEITEM, static_cast<WPARAM>(item), 0) != 0;
}

bool CSkinListCtrl::DeleteAllItems() { return hwnd && ::SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0) != 0; }

int CSkinListCtrl::GetItemCount() const {
    return hwnd ? static_cast<int>(::SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

// ---- selection and scrolling --------------------------------------------------

int CSkinListCtrl::GetSelectedCount() const {
    return hwnd ? static_cast<int>(::SendMessageW(hwnd, LVM_GETSELECTEDCOUNT, 0, 0)) : 0;
}

int CSkinListCtrl::GetSelectedRow() const { return GetNextItem(-1, LVNI_SELECTED); }

int CSkinListCtrl::GetNextItem(int start, int flags) const {
    if (!hwnd) return -1;
    return static_cast<int>(::SendMessageW(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
}

void CSkinListCtrl::SetSelectedRow(int row) {
    if (!hwnd || row < -1 || row >= GetItemCount()) return;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (row < 0) {
        item.state = 0;
        ::SendMessageW(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        return;
    }
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int CSkinListCtrl::GetCountPerPage() const {
    return hwnd ? static_cast<int>(::SendMessageW(hwnd, LVM_GETCOUNTPERPAGE, 0, 0)) : 0;
}

int CSkinListCtrl::GetTopIndex() const {
    return hwnd ? static_cast<int>(::SendMessageW(hwnd, LVM_GETTOPINDEX, 0, 0)) : 0;
}

bool CSkinListCtrl::EnsureVisible(int row) {
    if (!hwnd || row < 0 || row >= GetItemCount()) return false;
    return ::SendMessageW(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE) != 0;
}

void CSkinListCtrl::RedrawItems(int first, int last) {
    if (hwnd) ::SendMessageW(hwnd, LVM_REDRAWITEMS, static_cast<WPARAM>(first), static_cast<LPARAM>(last));
}

void CSkinListCtrl::AdoptScroller(CFilterListScroller* s) {
    scroller.reset(s);
    lastTop = GetTopIndex();
}
