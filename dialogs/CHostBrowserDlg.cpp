#include "dialogs/CHostBrowserDlg.h"

#include <algorithm>

#include "platform/help/Help.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinControls.h"
#include "skin/CSkinListCtrl.h"
#include "skin/Skin.h"
#include "skin/SkinTypes.h"

namespace {

constexpr int kHostList = 1038;
constexpr int kPageBar = 1040;
constexpr int kMinPos = 1;
constexpr int kMaxPos = 100;

}  // namespace

CHostBrowserDlg::CHostBrowserDlg(CSkinDialog* parent) : CSkinDialog(134, 188, 189, parent) {
    MapClicked(ID_HELP, &CHostBrowserDlg::OnHelp);
    MapNotify(kHostList, NM_DBLCLK, [this] { OnOK(); });
}

CHostBrowserDlg::~CHostBrowserDlg() = default;

CSkinListCtrl* CHostBrowserDlg::List() const { return Control<CSkinListCtrl>(kHostList); }

bool CHostBrowserDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    auto* bar = Control<CSkinScrollBar>(kPageBar);
    bar->SetScrollRange(kMinPos, kMaxPos, true);
    bar->SetScrollPos(kMinPos, true);
    CutWindowRegion(189);
    Control<CSkinButton>(IDCANCEL)->LoadBitmaps(173, 174, 175, 0);
    Control<CSkinButton>(IDOK)->LoadBitmaps(185, 186, 187, 0);
    Control<CSkinButton>(ID_HELP)->LoadBitmaps(202, 203, 204, 0);

    CSkinListCtrl* list = List();
    list->SetBkColor(kListBackground);
    if (list->GetColumnCount() == 0) {
        const int half = list->GetWidth() / 2;
        list->InsertColumn(0, "Address", LVCFMT_LEFT, half);
        list->InsertColumn(1, "Name", LVCFMT_LEFT, half);
    }

    // Each opening sweeps afresh; a second opening must not list hosts twice.
    hosts.clear();
    interfaceMasks.clear();
    selectedAddress.clear();
    if (hostScan) {
        CScanCursor cursor{BeginWaitCursor, EndWaitCursor};
        hostScan(interfaceMasks, hosts, cursor);
    }
    FillHostPage(kMinPos);
    return true;
}

void CHostBrowserDlg::FillHostPage(int p) {
    CSkinListCtrl* list = List();
    list->DeleteAllItems();
    const long long n = static_cast<long long>(hosts.size());
    // Truncates toward zero. Position 1 is the first page: from 108 hosts on
    // the formula alone would start it past the first entries, which no
    // position could then show.
    topIndex = p <= kMinPos ? 0 : static_cast<int>(std::max(0LL, (n - kRowsPerPage) * p / 100));
    const long long rows = std::min<long long>(n, kRowsPerPage);
    for (long long i = 0; i < rows; ++i) {
        const CHostEntry& entry = *hosts[static_cast<size_t>(std::min(topIndex + i, n - 1))];
        const int row = list->InsertItem(list->GetItemCount(), entry.address);
        list->SetItemText(row, 1, entry.computerName);
    }
}

void CHostBrowserDlg::OnVScroll(int code, int pos, CSkinScrollBar* bar) {
    const int n = static_cast<int>(hosts.size());
    if (n <= kRowsPerPage || !bar || bar != Control<CSkinScrollBar>(kPageBar)) return;
    const int p = bar->GetScrollPos();
    int next = p;
    switch (code) {
    case SB_LINEUP: next = p - 100 / (n - kRowsPerPage); break;
    case SB_LINEDOWN: next = p + 100 / (n - kRowsPerPage); break;
    case SB_PAGEUP: next = p - 800 / n; break;
    case SB_PAGEDOWN: next = p + 800 / n; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: next = pos; break;
    case SB_TOP: next = kMaxPos; break;     // the last page
    case SB_BOTTOM: next = kMinPos; break;  // the first page
    default: break;
    }
    next = std::clamp(next, kMinPos, kMaxPos);
    bar->SetScrollPos(next, true);
    if (next != p) FillHostPage(next);
}

void CHostBrowserDlg::OnOK() {
    CSkinListCtrl* list = List();
    const int row = list->GetNextItem(-1, LVNI_SELECTED);
    selectedAddress = row >= 0 ? list->GetItemString(row, 0) : std::string();
    EndDialog(IDOK);
}

void CHostBrowserDlg::OnHelp() { ShowHelpContext(kHostBrowserHelpContext); }
