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
#include "skin/win32/CSkinDialog.h"
#include "skin/win32/CSkinListCtrl.h"
#include "skin/win32/FilterListScroller.h"
#include "skin/win32/SkinLook.h"

namespace {

constexpr int kMainDialog = 102, kFiltersDialog = 129, kEntryDialog = 130, kDetailsDialog = 132, kHostDialog = 134;

struct Heard {
    UINT message;
    int id, code, item;
};

// A window from its template that notes what reaches its handlers. Never
// shown: the controls work the same, and Wine has no window manager to wait
// for under Xvfb.
class Probe : public CSkinDialog {
public:
    explicit Probe(int templateId) : CSkinDialog(templateId, 0, 0) {}
    std::vector<int> Codes(UINT message) const {
        std::vector<int> codes;
        for (const Heard& h : heard)
            if (h.message == message) codes.push_back(h.code);
        return codes;
    }
    std::vector<Heard> heard;

protected:
    bool OnCommand(int id, int code) override {
        heard.push_back({WM_COMMAND, id, code, -1});
        return true;
    }
    bool OnNotify(int id, int code) override {
        if (code == int(NM_DBLCLK) || code == int(LVN_COLUMNCLICK)) heard.push_back({WM_NOTIFY, id, code, NotifyItem()});
        return false;
    }
    void OnVScroll(int code, int pos, CSkinScrollBar* bar) override { heard.push_back({WM_VSCROLL, bar->Id(), code, pos}); }
    void OnHScroll(int code, int pos, CSkinScrollBar* bar) override { heard.push_back({WM_HSCROLL, bar->Id(), code, pos}); }
};

using SkinControls = ::testing::Test;

constexpr int L = SB_LINEUP, D = SB_LINEDOWN, E = SB_ENDSCROLL;

TEST_F(SkinControls, ScrollBarReportsWheelNotchesAndPartsAndNeverMovesByItself) {
    Probe main(kMainDialog);
    CSkinScrollBar& bar = *main.Control<CSkinScrollBar>(1034);
    bar.SetScrollRange(0, 100);
    bar.SetScrollPos(40);
    bar.SetWheelLines(3);
    EXPECT_TRUE(bar.ReportWheel(-WHEEL_DELTA));                // a notch towards the user
    EXPECT_TRUE(bar.ReportWheel(60));                          // half a notch: nothing yet
    EXPECT_EQ(main.Codes(WM_VSCROLL), (std::vector<int>{D, D, D, E}));
    EXPECT_TRUE(bar.ReportWheel(60));                          // the other half
    EXPECT_FALSE(bar.ReportWheel(0));
    bar.SendScrollCode(SB_PAGEDOWN);
    EXPECT_EQ(main.Codes(WM_VSCROLL), (std::vector<int>{D, D, D, E, L, L, L, E, SB_PAGEDOWN, E}));
    for (const Heard& h : main.heard) EXPECT_EQ(h.id, 1034);
    // A click on the lower arrow is reported, and the thumb stays.
    RECT r;
    ::GetClientRect(bar.Handle(), &r);
    ::PostMessageW(bar.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, r.bottom - 3));
    ::SendMessageW(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom - 3));
    EXPECT_EQ(main.Codes(WM_VSCROLL).at(10), D);
    EXPECT_EQ(bar.GetScrollPos(), 40);
    int lo, hi;
    bar.GetScrollRange(&lo, &hi);
    EXPECT_EQ(lo * 1000 + hi, 100);
    EXPECT_EQ(bar.SetScrollPos(500), 40);
    EXPECT_EQ(bar.GetScrollPos(), 100);

    EXPECT_TRUE(main.Control<CSkinScrollBar>(1030)->ReportWheel(2 * WHEEL_DELTA));  // across
    EXPECT_EQ(main.Codes(WM_HSCROLL), (std::vector<int>{L, L, E}));
}

TEST_F(SkinControls, UpDownStepsWithinItsRangeAndWritesTheBuddy) {
    Probe entry(kEntryDialog);
    CSkinEdit& port = *entry.Control<CSkinEdit>(1008);
    CSkinUpDown& spin = *entry.Control<CSkinUpDown>(1032);
    ASSERT_EQ(spin.Buddy(), &port);
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
    EXPECT_TRUE(entry.Codes(WM_VSCROLL).empty());
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
    Probe filters(kFiltersDialog);
    CSkinListCtrl& list = *filters.Control<CSkinListCtrl>(1002);
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

// A control as it paints itself (PrintWindow), in RGB, x and y from
// (dx, dy) of its window rectangle.
struct Shot {
    explicit Shot(HWND window) {
        RECT w;
        ::GetWindowRect(window, &w);
        width = w.right - w.left;
        const int height = w.bottom - w.top;
        HDC screen = ::GetDC(nullptr);
        HDC dc = ::CreateCompatibleDC(screen);
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof bi.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        painted = ::PrintWindow(window, dc, 0);
        pixels.assign(static_cast<COLORREF*>(bits), static_cast<COLORREF*>(bits) + width * height);
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
        ::ReleaseDC(nullptr, screen);
    }
    COLORREF At(int x, int y) const {
        const COLORREF p = pixels[std::size_t((dy + y) * width + dx + x)];  // BGRA in memory
        return RGB(GetBValue(p), GetGValue(p), GetRValue(p));
    }
    bool painted = false;
    int width = 0, dx = 0, dy = 0;
    std::vector<COLORREF> pixels;
};

// The list from its client area's left and its first row's top.
struct ListShot : Shot {
    explicit ListShot(const CSkinListCtrl& list) : Shot(list.Handle()) {
        RECT w, row{LVIR_BOUNDS, 0, 0, 0};
        ::GetWindowRect(list.Handle(), &w);
        ::SendMessageW(list.Handle(), LVM_GETITEMRECT, 0, LPARAM(&row));
        POINT origin{0, 0};
        ::ClientToScreen(list.Handle(), &origin);
        dx = origin.x - w.left;
        dy = origin.y - w.top + row.top;
    }
};

TEST_F(SkinControls, ListReportsDoubleClicksAndHeadingsAndDrawsItsRows) {
    Probe filters(kFiltersDialog);
    CSkinListCtrl& list = *filters.Control<CSkinListCtrl>(1004);
    Fill(list, 3);
    list.SetSelectedRow(2);
    RECT second{LVIR_BOUNDS, 0, 0, 0};
    ::SendMessageW(list.Handle(), LVM_GETITEMRECT, 1, LPARAM(&second));
    const int y = (second.top + second.bottom) / 2;
    ::SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, y));
    ::SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, y));
    ::SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, second.top + 4 * 14));
    ::SendMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(20, second.top + 4 * 14));
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list.Handle(), LVM_GETHEADER, 0, 0));
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(120, 4));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(120, 4));
    const std::vector<Heard>& heard = filters.heard;
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].code * 100 + heard[0].item, NM_DBLCLK * 100 + 1);
    EXPECT_EQ(heard[1].code * 100 + heard[1].item, NM_DBLCLK * 100 - 1);
    EXPECT_EQ(heard[2].code * 100 + heard[2].item, LVN_COLUMNCLICK * 100 + 1);
    EXPECT_EQ(heard[2].id, 1004);

    // The list as the screen shows it: rows 0 and 1 in the row colours, the
    // selected row 2 in the two-column list's, yellow text.
    list.SetSelectedRow(2);
    const ListShot shot(list);
    ASSERT_TRUE(shot.painted);
    EXPECT_EQ(shot.At(2, 7), SkinRgb(kListEvenRow));
    EXPECT_EQ(shot.At(2, 14 + 7), SkinRgb(kListOddRow));
    EXPECT_EQ(shot.At(2, 28 + 7), SkinRgb(kListSelectedTwo));
    int yellow = 0;
    for (int x = 0; x < 96; ++x)
        for (int y = 0; y < 14; ++y) {
            const COLORREF p = shot.At(x, y);
            yellow += GetRValue(p) > 230 && GetGValue(p) > 230 && GetBValue(p) < 60;
        }
    EXPECT_GT(yellow, 10) << "no yellow text in row 0";
    // The packet list's selected row has its own colour.
    Probe main(kMainDialog);
    CSkinListCtrl& packets = *main.Control<CSkinListCtrl>(1023);
    Fill(packets, 3);
    packets.SetSelectedRow(1);
    const ListShot six(packets);
    EXPECT_EQ(six.At(2, 7), SkinRgb(kListEvenRow));
    EXPECT_EQ(six.At(2, 14 + 7), SkinRgb(kListSelectedSix));
}

TEST_F(SkinControls, ScrollerShowsWhileRowsOverflowAndFollowsTheTopRow) {
    Probe filters(kFiltersDialog);
    CSkinListCtrl& list = *filters.Control<CSkinListCtrl>(1002);
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
    EXPECT_TRUE(filters.heard.empty());
    while (list.GetItemCount() > page) list.DeleteItem(0);
    scroller->Sync();
    EXPECT_FALSE(scroller->Bar()->IsVisible());

    // A page view's list sends the wheel to its owner's bar and stays.
    Probe hosts(kHostDialog);
    CSkinListCtrl& pageView = *hosts.Control<CSkinListCtrl>(1038);
    Fill(pageView, 20);
    pageView.SetWheelScrollBar(hosts.Control<CSkinScrollBar>(1040));
    ::SendMessageW(pageView.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(hosts.Codes(WM_VSCROLL), (std::vector<int>{D, E}));
    EXPECT_EQ(pageView.GetTopIndex(), 0);
}

TEST_F(SkinControls, ComboKeepsItsItemsAndReportsOnlyTheUsersChoice) {
    Probe entry(kEntryDialog);
    CSkinComboBox& combo = *entry.Control<CSkinComboBox>(1041);
    EXPECT_EQ(combo.GetCount(), 8);  // the template's services
    EXPECT_EQ(combo.GetLBText(7), "Other...");
    EXPECT_EQ(combo.GetCurSel(), -1);
    RECT r;
    ::GetWindowRect(combo.Handle(), &r);
    EXPECT_EQ(r.bottom - r.top, CSkinComboBox::kClosedHeight);
    EXPECT_EQ(::SendMessageW(combo.Handle(), CB_GETITEMHEIGHT, 0, 0), CSkinComboBox::kItemHeight);
    {
        // The closed box in the Linux one's colours, not the system's white
        // frame and grey button: the outline, the light line inside it, the
        // arrow's plate and the translucent yellow arrow.
        const Shot closed(combo.Handle());
        ASSERT_TRUE(closed.painted);
        const int w = r.right - r.left, h = r.bottom - r.top;
        EXPECT_EQ(closed.At(w / 2, 0), RGB(36, 36, 73));
        EXPECT_EQ(closed.At(w - 1, h / 2), RGB(36, 36, 73));
        EXPECT_EQ(closed.At(w - 2, h / 2), RGB(150, 150, 191));
        EXPECT_EQ(closed.At(w - 3, h / 2), RGB(136, 136, 182));
        EXPECT_EQ(closed.At(w - 12, h / 2 - 2), RGB(212, 212, 69));
        EXPECT_EQ(closed.At(w / 3, h / 2), SkinRgb(kControlBrush));  // the empty field
    }
    combo.SetCurSel(1);
    EXPECT_EQ(combo.GetCurSel(), 1);
    EXPECT_EQ(Shot(combo.Handle()).At(5, 10), SkinRgb(kComboItem));  // an item, unfocused: not selected
    EXPECT_TRUE(entry.Codes(WM_COMMAND).empty());
    ::SendMessageW(combo.Handle(), WM_KEYDOWN, VK_DOWN, 0);  // the user moves to the next
    EXPECT_EQ(combo.GetCurSel(), 2);
    const std::vector<int> codes = entry.Codes(WM_COMMAND);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), CBN_SELCHANGE), 1);
    EXPECT_EQ(entry.heard.at(0).id, 1041);
    EXPECT_EQ(combo.AddString("Zürich"), 8);
    EXPECT_EQ(combo.GetLBText(8), "Zürich");
    combo.ResetContent();
    EXPECT_EQ(combo.GetCount(), 0);
}

TEST_F(SkinControls, EditsLabelsAndChoicesKeepTheSkinsRules) {
    Probe details(kDetailsDialog);
    auto& box = *details.Control<CSkinMultiEdit>(1037);
    auto vertical = [&box] { return (::GetWindowLongW(box.Handle(), GWL_STYLE) & WS_VSCROLL) != 0; };
    box.SetText("a\nb");
    EXPECT_EQ(box.GetText(), "a\r\nb");
    EXPECT_FALSE(vertical());
    std::string many;
    for (int i = 0; i < 40; ++i) many += "line\n";
    box.SetText(many);
    EXPECT_TRUE(vertical());  // only while the text is taller than the box
    {
        // The box's own bar in the skin's colours, as the Qt one's: the
        // track's brush, the thumb's plate, wherever the text has scrolled.
        ::SendMessageW(box.Handle(), EM_LINESCROLL, 0, 20);
        SCROLLBARINFO bar{};
        bar.cbSize = sizeof bar;
        ASSERT_TRUE(::GetScrollBarInfo(box.Handle(), OBJID_VSCROLL, &bar));
        RECT w;
        ::GetWindowRect(box.Handle(), &w);
        const int x = (bar.rcScrollBar.left + bar.rcScrollBar.right) / 2 - w.left, top = bar.rcScrollBar.top - w.top;
        const Shot shot(box.Handle());
        ASSERT_TRUE(shot.painted);
        ASSERT_GT(bar.xyThumbTop, bar.dxyLineButton + 4);
        EXPECT_EQ(shot.At(x, top + (bar.dxyLineButton + bar.xyThumbTop) / 2), SkinRgb(kControlBrush));
        EXPECT_EQ(shot.At(x, top + (bar.xyThumbTop + bar.xyThumbBottom) / 2), RGB(132, 132, 176));
    }
    // Fixed pitch: a dump's line fits the box in the narrowed face, which
    // wrapped in the skin's; the box keeps its window (and what the window
    // attached to it).
    const HWND before = box.Handle();
    const std::string dump = "0000  47 45 54 20 2f 69 6e 64  65 78 2e 68 74 6d 6c 20  GET /index.html ";
    box.SetText(dump);
    const LRESULT wrapped = ::SendMessageW(box.Handle(), EM_GETLINECOUNT, 0, 0);
    box.SetFixedPitch(true);
    EXPECT_EQ(box.Handle(), before);
    EXPECT_GT(wrapped, 1);
    EXPECT_EQ(::SendMessageW(box.Handle(), EM_GETLINECOUNT, 0, 0), 1);
    // A label one line tall ends in an ellipsis; presses go through it.
    HWND label = ::GetDlgItem(details.Handle(), 1025);
    EXPECT_TRUE(::GetWindowLongW(label, GWL_STYLE) & SS_ENDELLIPSIS);
    EXPECT_EQ(::SendMessageW(label, WM_NCHITTEST, 0, 0), HTTRANSPARENT);
    auto font = [label] { return reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)); };
    details.SetDlgItemText(1025, "65535 and rather more");  // narrowed to fit whole
    EXPECT_NE(font(), SkinFont());
    details.SetDlgItemText(1025, "80");
    EXPECT_EQ(font(), SkinFont());

    Probe filters(kFiltersDialog);
    auto& full = *filters.Control<CSkinRadioButton>(1013);
    auto& reduced = *filters.Control<CSkinRadioButton>(1014);
    EXPECT_TRUE(::GetWindowLongW(full.Handle(), GWL_STYLE) & WS_GROUP);
    EXPECT_FALSE(::GetWindowLongW(reduced.Handle(), GWL_STYLE) & WS_GROUP);
    full.SetChecked(true);
    EXPECT_TRUE(full.IsChecked());
    ::SendMessageW(reduced.Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(reduced.IsChecked());
    EXPECT_FALSE(full.IsChecked());
    ASSERT_EQ(filters.heard.size(), 1u);
    EXPECT_EQ(filters.heard[0].id * 10 + filters.heard[0].code, 1014 * 10 + BN_CLICKED);
}

}  // namespace
