#include "skin/win32/Win32Api.h"

#include "skin/win32/FilterListScroller.h"

#include "skin/ListScrolling.h"
#include "skin/SkinIds.h"
#include "skin/win32/CSkinControls.h"
#include "skin/win32/CSkinListCtrl.h"

CFilterListScroller::CFilterListScroller(CSkinListCtrl* l) : list(l), bar(new CSkinScrollBar) {
    // A child of the list, so that its codes reach the list, which passes
    // them here.
    const ControlTemplate entry{0, ControlKind::ScrollBar, nullptr, 0, 0, 0, 0, kVertical | kHidden};
    bar->Create(list->Handle(), entry, PixelRect{0, 0, kBarWidth, 1}, nullptr);
    list->AdoptScroller(this);
    Sync();
}

CFilterListScroller::~CFilterListScroller() { delete bar; }

void CFilterListScroller::Sync() {
    if (!bar->Handle()) return;
    // Inside the list's right edge, over its rows (the list's border is
    // outside its client area).
    RECT client{};
    ::GetClientRect(list->Handle(), &client);
    ::SetWindowPos(bar->Handle(), HWND_TOP, client.right - kBarWidth, 0, kBarWidth, client.bottom,
                   SWP_NOACTIVATE);
    const int hidden = list->GetItemCount() - list->GetCountPerPage();
    if (hidden <= 0) {
        bar->Show(false);
        return;
    }
    bar->SetScrollRange(0, hidden);
    bar->SetScrollPos(list->GetTopIndex());
    bar->Show(true);
}

void CFilterListScroller::OnListScrolled() { Sync(); }

void CFilterListScroller::OnScroll(int code, int pos) {
    ScrollListByCode(*list, code, pos);
    bar->SetScrollPos(list->GetTopIndex());
}
