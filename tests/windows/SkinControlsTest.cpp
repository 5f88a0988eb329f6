// The Win32 skin's controls through real windows under Wine: a parent that
// reflects to them what the dialog reflects, and records what reaches the
// window (commands, notifications, scroll codes).
#include "skin/win32/Win32Api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "skin/SkinIds.h"
#include "skin/win32/CSkinComboBox.h"
#include "skin/win32/CSkinControls.h"
#include "skin/win32/CSkinListCtrl.h"
#include "skin/win32/FilterListScroller.h"
#include "skin/win32/SkinLook.h"

namespace {

struct Heard {
    UINT message;
    int id, code, item;
};

std::vector<Heard> heard;
CSkinWindow* making = nullptr;

CSkinWindow* Target(HWND host, UINT m, WPARAM w, LPARAM l) {
    switch (m) {
    case WM_MEASUREITEM:
    case WM_DRAWITEM: {
        CSkinWindow* c = CSkinWindow::FromHandle(::GetDlgItem(host, static_cast<int>(w)));
        return c ? c : making;
    }
    case WM_NOTIFY: return CSkinWindow::FromHandle(reinterpret_cast<NMHDR*>(l)->hwndFrom);
    case WM_COMMAND: case WM_HSCROLL: case WM_VSCROLL: case WM_CTLCOLORSTATIC: case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORLISTBOX:
        return CSkinWindow::FromHandle(reinterpret_cast<HWND>(l));
    default: return nullptr;
    }
}

LRESULT CALLBACK HostProc(HWND host, UINT m, WPARAM w, LPARAM l) {
    std::intptr_t result = 0;
    if (CSkinWindow* c = Target(host, m, w, l); c && c->OnReflected(m, w, l, result)) return result;
    if (m == WM_COMMAND && l) heard.push_back({m, LOWORD(w), HIWORD(w), -1});
    if (m == WM_VSCROLL || m == WM_HSCROLL) heard.push_back({m, ::GetDlgCtrlID(HWND(l)), LOWORD(w), HIWORD(w)});
    if (m == WM_NOTIFY) {
        auto* n = reinterpret_cast<NMHDR*>(l);
        const int item = n->code == UINT(NM_DBLCLK)          ? reinterpret_cast<NMITEMACTIVATE*>(l)->iItem
                         : n->code == UINT(LVN_COLUMNCLICK) ? reinterpret_cast<NMLISTVIEW*>(l)->iSubItem
                                                             : -1;
        if (n->code == UINT(NM_DBLCLK) || n->code == UINT(LVN_COLUMNCLICK))
            heard.push_back({m, int(n->idFrom), int(n->code), item});
    }
    return ::DefWindowProcW(host, m, w, l);
}

class SkinControls : public ::testing::Test {
protected:
    // One window for every case: under Xvfb, with no window manager, each
    // top-level window's end costs Wine a wait.
    static void SetUpTestSuite() {
        // A desktop of the test's own: the prefix's default one was made by
        // its start, which had no display.
        ::SetThreadDesktop(::CreateDesktopW(L"OrnSkinControls", nullptr, nullptr, 0, GENERIC_ALL, nullptr));
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        WNDCLASSW wc{};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrnControlsHost";
        ::RegisterClassW(&wc);
        host = ::CreateWindowExW(0, wc.lpszClassName, L"host", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 500, 400,
                                 nullptr, nullptr, wc.hInstance, nullptr);
    }
    static void TearDownTestSuite() { ::DestroyWindow(host); }
    void SetUp() override {
        ASSERT_NE(host, nullptr) << "no window: is there a display?";
        heard.clear();
    }

    template <class T>
    T& Make(T& control, ControlTemplate entry) {
        making = &control;
        EXPECT_TRUE(control.Create(host, entry, ControlRectInPixels(entry), SkinFont()));
        making = nullptr;
        return control;
    }
    std::vector<int> Codes(UINT message) const {
        std::vector<int> codes;
        for (const Heard& h : heard)
            if (h.message == message) codes.push_back(h.code);
        return codes;
    }
    static HWND host;
};

HWND SkinControls::host = nullptr;

constexpr int L = SB_LINEUP, D = SB_LINEDOWN, E = SB_ENDSCROLL;

TEST_F(SkinControls, ScrollBarReportsWheelNotchesAndPartsAndNeverMovesByItself) {
    CSkinScrollBar bar;
    Make(bar, {1034, ControlKind::ScrollBar, nullptr, 298, 33, 10, 176, kVertical});
    bar.SetScrollRange(0, 100);
    bar.SetScrollPos(40);
    bar.SetWheelLines(3);
    EXPECT_TRUE(bar.ReportWheel(-WHEEL_DELTA));                // a notch towards the user
    EXPECT_TRUE(bar.ReportWheel(60));                          // half a notch: nothing yet
    EXPECT_EQ(Codes(WM_VSCROLL), (std::vector<int>{D, D, D, E}));
    EXPECT_TRUE(bar.ReportWheel(60));                          // the other half
    EXPECT_FALSE(bar.ReportWheel(0));
    bar.SendScrollCode(SB_PAGEDOWN);
    EXPECT_EQ(Codes(WM_VSCROLL), (std::vector<int>{D, D, D, E, L, L, L, E, SB_PAGEDOWN, E}));
    for (const Heard& h : heard) EXPECT_EQ(h.id, 1034);
    // A click on the lower arrow is reported, and the thumb stays.
    RECT r;
    ::GetClientRect(bar.Handle(), &r);
    ::PostMessageW(bar.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom - 3));
    ::SendMessageW(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom - 3));
    EXPECT_EQ(Codes(WM_VSCROLL).at(10), D);
    EXPECT_EQ(bar.GetScrollPos(), 40);
    int lo, hi;
    bar.GetScrollRange(&lo, &hi);
    EXPECT_EQ(lo * 1000 + hi, 100);
    EXPECT_EQ(bar.SetScrollPos(500), 40);
    EXPECT_EQ(bar.GetScrollPos(), 100);

    CSkinScrollBar across;
    Make(across, {1030, ControlKind::ScrollBar, nullptr, 172, 7, 112, 9, 0});
    EXPECT_TRUE(across.ReportWheel(2 * WHEEL_DELTA));
    EXPECT_EQ(Codes(WM_HSCROLL), (std::vector<int>{L, L, E}));
}

TEST_F(SkinControls, UpDownStepsWithinItsRangeAndWritesTheBuddy) {
    CSkinEdit port;
    CSkinUpDown spin;
    Make(port, {1008, ControlKind::Edit, nullptr, 58, 76, 61, 12, kAutoHScroll | kStaticEdge | kDialogFrame});
    Make(spin, {1032, ControlKind::UpDown, nullptr, 119, 76, 11, 12,
                kAutoBuddy | kSetBuddyInt | kAlignBuddyRight | kArrowKeys});
    spin.SetBuddy(&port);
    spin.SetRange32(0, 65535);
    spin.SetPos32(65534);
    EXPECT_EQ(port.GetText(), "65534");  // no thousands separator
    spin.Step(1);
    spin.Step(1);  // no wrapping at the top
    EXPECT_EQ(port.GetText(), "65535");
    port.SetText(" 7 ");
    EXPECT_EQ(spin.GetPos32(), 7);
    spin.Step(-1);
    EXPECT_EQ(port.GetText(), "6");
    port.SetText("0");
    spin.Step(-1);
    EXPECT_EQ(port.GetText(), "0");
    // The up arrow moves towards the second bound, also when it is the lower.
    spin.SetRange32(10, 0);
    port.SetText("4");
    spin.Step(1);
    EXPECT_EQ(port.GetText(), "3");
    // A click on the control's up arrow steps it; its own notification is
    // no scroll bar's and does not reach the window.
    spin.SetRange32(0, 65535);
    RECT r;
    ::GetClientRect(spin.Handle(), &r);
    ::SendMessageW(spin.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, 2));
    ::SendMessageW(spin.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, 2));
    EXPECT_EQ(port.GetText(), "4");
    EXPECT_TRUE(Codes(WM_VSCROLL).empty());
}

ControlTemplate FilterList(int id) {
    return {id, ControlKind::ListView, nullptr, 14, 42, 100, 71, kBorder | kTabStop | kSingleSel | kOwnerDraw | kNoScroll};
}

void Fill(CSkinListCtrl& list, int rows) {
    if (list.GetColumnCount() == 0) {
        list.InsertColumn(0, "Address", LVCFMT_LEFT, 96);
        list.InsertColumn(1, "Port", LVCFMT_LEFT, 48);
    }
    for (int i = list.GetItemCount(); i < rows; ++i) {
        const int row = list.InsertItem(i, "10.0.0." + std::to_string(i));
        list.SetItemText(row, 1, std::to_string(1000 + i));
    }
}

TEST_F(SkinControls, ListKeepsRowsColumnsTextsAndSelection) {
    CSkinListCtrl list;
    Make(list, FilterList(1002));
    Fill(list, 12);
    EXPECT_EQ(list.GetColumnCount(), 2);
    EXPECT_EQ(list.GetColumnHeading(1), "Port");
    EXPECT_EQ(list.GetColumnWidth(0), 96);
    EXPECT_FALSE(list.SetItemText(3, 2, "beyond the columns"));
    EXPECT_TRUE(list.SetItemText(3, 1, "Zürich"));
    EXPECT_EQ(list.GetItemString(3, 1), "Zürich");
    EXPECT_EQ(list.InsertItem(99, "last"), 12);
    list.SetSelectedRow(5);
    EXPECT_TRUE(list.DeleteItem(2));
    EXPECT_EQ(list.GetSelectedRow(), 4);
    EXPECT_EQ(list.GetItemString(4, 0), "10.0.0.5");
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 4);
    EXPECT_EQ(list.GetNextItem(4, LVNI_SELECTED), -1);
    list.SetSelectedRow(-1);
    EXPECT_EQ(list.GetSelectedCount(), 0);
    // Fixed 14-pixel rows under the header, and no scroll bars however many.
    RECT row{LVIR_BOUNDS, 0, 0, 0}, client;
    ASSERT_TRUE(::SendMessageW(list.Handle(), LVM_GETITEMRECT, 0, LPARAM(&row)));
    EXPECT_EQ(row.bottom - row.top, CSkinListCtrl::kRowHeight);
    ::GetClientRect(list.Handle(), &client);
    EXPECT_EQ(list.GetCountPerPage(), (client.bottom - row.top) / CSkinListCtrl::kRowHeight);
    EXPECT_EQ(list.ClientWidth(), list.GetWidth() - 2);  // only the border
    EXPECT_TRUE(list.EnsureVisible(11));
    EXPECT_GT(list.GetTopIndex(), 0);
    EXPECT_EQ(::GetWindowLongW(list.Handle(), GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), 0);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
}

COLORREF Pixel(const std::vector<COLORREF>& pixels, int width, int x, int y) {
    const COLORREF p = pixels[std::size_t(y * width + x)];  // BGRA in memory
    return RGB(GetBValue(p), GetGValue(p), GetRValue(p));
}

TEST_F(SkinControls, ListReportsDoubleClicksAndHeadingsAndDrawsItsRows) {
    CSkinListCtrl list;
    Make(list, FilterList(1004));
    Fill(list, 3);
    list.SetSelectedRow(2);
    RECT first{LVIR_BOUNDS, 0, 0, 0};
    ::SendMessageW(list.Handle(), LVM_GETITEMRECT, 1, LPARAM(&first));
    const int y = (first.top + first.bottom) / 2;
    ::SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, y));
    ::SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, y));
    ::SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, first.top + 4 * 14));
    ::SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, first.top + 4 * 14));
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list.Handle(), LVM_GETHEADER, 0, 0));
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 4));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(120, 4));
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].code * 100 + heard[0].item, NM_DBLCLK * 100 + 1);
    EXPECT_EQ(heard[1].code * 100 + heard[1].item, NM_DBLCLK * 100 - 1);
    EXPECT_EQ(heard[2].code * 100 + heard[2].item, LVN_COLUMNCLICK * 100 + 1);
    EXPECT_EQ(heard[2].id, 1004);

    // The list as the screen shows it: rows 0 and 1 in the row colours, the
    // selected row 2 in the two-column list's, yellow text.
    list.SetSelectedRow(2);
    RECT w;
    ::GetWindowRect(list.Handle(), &w);
    const int width = w.right - w.left, height = w.bottom - w.top;
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    ASSERT_TRUE(::PrintWindow(list.Handle(), dc, 0));
    std::vector<COLORREF> pixels(static_cast<COLORREF*>(bits), static_cast<COLORREF*>(bits) + width * height);
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    POINT origin{0, 0};
    ::ClientToScreen(list.Handle(), &origin);
    const int dx = origin.x - w.left, dy = origin.y - w.top + first.top - 14;
    EXPECT_EQ(Pixel(pixels, width, dx + 2, dy + 7), SkinRgb(kListEvenRow));
    EXPECT_EQ(Pixel(pixels, width, dx + 2, dy + 14 + 7), SkinRgb(kListOddRow));
    EXPECT_EQ(Pixel(pixels, width, dx + 2, dy + 28 + 7), SkinRgb(kListSelectedTwo));
    int yellow = 0;
    for (int x = dx; x < dx + 96; ++x)
        for (int row = dy; row < dy + 14; ++row) {
            const COLORREF p = Pixel(pixels, width, x, row);
            yellow += GetRValue(p) > 230 && GetGValue(p) > 230 && GetBValue(p) < 60;
        }
    EXPECT_GT(yellow, 10) << "no yellow text in row 0";
}

TEST_F(SkinControls, ScrollerShowsWhileRowsOverflowAndFollowsTheTopRow) {
    CSkinListCtrl list;
    Make(list, FilterList(1002));
    auto* scroller = new CFilterListScroller(&list);
    Fill(list, 3);
    scroller->Sync();
    EXPECT_FALSE(scroller->Bar()->IsVisible());
    Fill(list, 20);
    scroller->Sync();
    const int page = list.GetCountPerPage();
    ASSERT_TRUE(scroller->Bar()->IsVisible());
    int lo, hi;
    scroller->Bar()->GetScrollRange(&lo, &hi);
    EXPECT_EQ(hi, 20 - page);
    ::SendMessageW(list.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(list.GetTopIndex(), 3);
    EXPECT_EQ(scroller->Bar()->GetScrollPos(), 3);
    ::SendMessageW(list.Handle(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(list.GetSelectedRow(), 19);
    EXPECT_EQ(scroller->Bar()->GetScrollPos(), 20 - page);
    ::SendMessageW(list.Handle(), WM_KEYDOWN, VK_PRIOR, 0);  // a page less one
    EXPECT_EQ(list.GetSelectedRow(), 20 - page);
    // The bar's codes move the list and stay with it.
    scroller->Bar()->SendScrollCode(SB_TOP);
    EXPECT_EQ(list.GetTopIndex(), 0);
    scroller->Bar()->SendScrollCode(SB_LINEDOWN);
    EXPECT_EQ(list.GetTopIndex() * 100 + scroller->Bar()->GetScrollPos(), 101);
    EXPECT_TRUE(heard.empty());
    while (list.GetItemCount() > page) list.DeleteItem(0);
    scroller->Sync();
    EXPECT_FALSE(scroller->Bar()->IsVisible());

    // A page view's list sends the wheel to its owner's bar and stays.
    CSkinScrollBar bar;
    Make(bar, {1040, ControlKind::ScrollBar, nullptr, 176, 33, 10, 74, kVertical});
    CSkinListCtrl pageView;
    Make(pageView, {1038, ControlKind::ListView, nullptr, 13, 33, 159, 74, kSingleSel | kOwnerDraw | kNoHeader});
    Fill(pageView, 20);
    pageView.SetWheelScrollBar(&bar);
    ::SendMessageW(pageView.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(Codes(WM_VSCROLL), (std::vector<int>{D, E}));
    EXPECT_EQ(pageView.GetTopIndex(), 0);
}

TEST_F(SkinControls, ComboKeepsItsItemsAndReportsOnlyTheUsersChoice) {
    static const char* const items[] = {"ftp", "http", "Zürich"};
    CSkinComboBox combo;
    Make(combo, {1041, ControlKind::ComboBox, nullptr, 132, 76, 54, 149, kOwnerDraw | kTabStop, items});
    EXPECT_EQ(combo.GetCount(), 3);
    EXPECT_EQ(combo.GetLBText(2), "Zürich");
    EXPECT_EQ(combo.GetCurSel(), -1);
    RECT r;
    ::GetWindowRect(combo.Handle(), &r);
    EXPECT_EQ(r.bottom - r.top, CSkinComboBox::kClosedHeight);
    EXPECT_EQ(::SendMessageW(combo.Handle(), CB_GETITEMHEIGHT, 0, 0), CSkinComboBox::kItemHeight);
    combo.SetCurSel(1);
    EXPECT_EQ(combo.GetCurSel(), 1);
    EXPECT_TRUE(Codes(WM_COMMAND).empty());
    ::SendMessageW(combo.Handle(), WM_KEYDOWN, VK_DOWN, 0);  // the user moves to the next
    EXPECT_EQ(combo.GetCurSel(), 2);
    const std::vector<int> codes = Codes(WM_COMMAND);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), CBN_SELCHANGE), 1);
    EXPECT_EQ(heard.at(0).id, 1041);
    EXPECT_EQ(combo.AddString("ssh"), 3);
    combo.ResetContent();
    EXPECT_EQ(combo.GetCount(), 0);
}

}  // namespace
