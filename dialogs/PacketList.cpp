// The packet list view of the main window: one page of the packet store from
// firstVisible on, paged through with scroll bar 1034 in percent.

#include <algorithm>

#include "dialogs/CMainDlg.h"
#include "dialogs/CPacketDetailsDlg.h"
#include "skin/CSkinControls.h"
#include "skin/CSkinListCtrl.h"

void CMainDlg::AppendPacketRow(std::shared_ptr<const CPacketRecord> record) {
    if (!record) return;
    const int index = packetList->GetItemCount();
    packetList->InsertItem(index, (record->sourceAddress));
    packetList->SetItemText(index, 1, (record->sourcePort));
    packetList->SetItemText(index, 2, (record->destinationAddress));
    packetList->SetItemText(index, 3, (record->destinationPort));
    packetList->SetItemText(index, 4, (record->protocolName));
    packetList->SetItemText(index, 5, (record->lengthText));
    rowRecords.insert(rowRecords.begin() + std::min<std::size_t>(std::size_t(index), rowRecords.size()),
                      std::move(record));
    packetList->RedrawItems(0, packetList->GetItemCount() - 1);
}

std::shared_ptr<const CPacketRecord> CMainDlg::RowRecord(int row) const {
    return row >= 0 && std::size_t(row) < rowRecords.size() ? rowRecords[std::size_t(row)] : nullptr;
}

// The window side of the run's ShowAcceptedPacket, for every record accepted
// since the last time: rows for those that came while the store fitted on one
// page, then the scroll position from the counts of now.
void CMainDlg::ShowAcceptedPackets(AcceptedRows rows) {
    std::size_t n;
    if (displayView.Active()) {
        // The rows are the whole list's: the filter looks at what came.
        displayView.CatchUp();
        n = displayView.Count();
        const std::size_t page = std::size_t(std::max(0, packetList->GetCountPerPage()));
        if (std::size_t(packetList->GetItemCount()) != std::min(n, page)) RefillPacketList();
        UpdateDisplayFilterLabel();
    } else {
        for (auto& record : rows) AppendPacketRow(std::move(record));
        n = store.Count();
        // A record appended just before a Clear may still have come as a row.
        if (std::size_t(packetList->GetItemCount()) > n) RefillPacketList();
    }
    if (n == 0) return;
    if (followNewest && n > std::size_t(std::max(0, packetList->GetCountPerPage()))) {
        listScroll->SetScrollPos(100);
        if (followTimerSet) return;
        using std::chrono::milliseconds;
        const long long since =
            lastFollowRefill
                ? std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - *lastFollowRefill).count()
                : kFollowIntervalMs;
        if (since >= kFollowIntervalMs) {
            ShowNewestPage();
        } else {
            followTimerSet = true;
            SetTimer(kFollowTimer, int(kFollowIntervalMs - since));
        }
        return;
    }
    const long long pos = std::min<long long>(100, static_cast<long long>(firstVisible) * 100 / static_cast<long long>(n));
    listScroll->SetScrollPos(int(pos));
}

void CMainDlg::SetFollowNewest(bool on) {
    CheckMenuItem(kFollowCommand, on);
    if (on == followNewest) return;
    followNewest = on;
    KillTimer(kFollowTimer);
    followTimerSet = false;
    if (on) ShowNewestPage();
}

// The newest page with the thumb at 100, as SB_TOP shows it; while the
// store fits on one page the rows are appended as records come.
void CMainDlg::ShowNewestPage() {
    lastFollowRefill = std::chrono::steady_clock::now();
    const long long p = std::max(0, packetList->GetCountPerPage());
    const long long n = static_cast<long long>(ShownCount());
    if (p >= n) return;
    firstVisible = int(n - p);
    listScroll->SetScrollPos(100);
    RefillPacketList();
}

void CMainDlg::OnClear() {
    store.Clear();
    firstVisible = 0;
    listScroll->SetScrollPos(0);
    RefillPacketList();
}

void CMainDlg::RefillPacketList() {
    // The store already holds every record still on its way as a row.
    requests.DiscardPendingRows();
    const std::size_t p = std::size_t(std::max(0, packetList->GetCountPerPage()));
    // The selected record stays selected while it is on the page.
    const std::shared_ptr<const CPacketRecord> selected = RowRecord(packetList->GetSelectedRow());
    packetList->DeleteAllItems();
    rowRecords.clear();
    UpdateDisplayFilterLabel();
    const std::size_t n = ShownCount();
    const std::size_t rows = std::min(p, n);
    if (rows == 0) return;
    const std::size_t first = std::size_t(std::max(0, firstVisible));
    AcceptedRows page = ShownRange(first, rows);
    // Past the end the last record stands in (firstVisible never goes there).
    AcceptedRows lastOne = ShownRange(n - 1, 1);
    std::shared_ptr<const CPacketRecord> last = lastOne.empty() ? nullptr : lastOne[0];
    for (std::size_t i = 0; i < rows; ++i) AppendPacketRow(i < page.size() ? page[i] : last);
    if (selected)
        for (std::size_t i = 0; i < rowRecords.size(); ++i)
            if (rowRecords[i] == selected) packetList->SetSelectedRow(int(i));
}

void CMainDlg::OnVScroll(int code, int thumb, CSkinScrollBar* bar) {
    if (bar != listScroll) return;
    if (code != SB_ENDSCROLL) SetFollowNewest(false);
    const long long p = std::max(0, packetList->GetCountPerPage());
    const long long n = static_cast<long long>(ShownCount());
    if (p >= n) return;  // the whole store fits

    const long long last = n - p;  // firstVisible of the newest page
    long long first = firstVisible;
    int pos = listScroll->GetScrollPos();
    bool recompute = true;
    switch (code) {
    case SB_LINEUP:
        if (first > 0) first -= 1;
        break;
    case SB_LINEDOWN:
        if (first < last) first += 1;
        break;
    case SB_PAGEUP: first -= std::min(first, p); break;
    case SB_PAGEDOWN:
        if (first < last) first += p;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        first = static_cast<long long>(static_cast<unsigned>(n) * static_cast<unsigned>(thumb) / 100u);
        pos = thumb;
        recompute = false;
        break;
    case SB_TOP: first = last; break;    // the newest page
    case SB_BOTTOM: first = 0; break;    // the oldest page
    default: return;
    }
    if (first > last) first = last;
    if (recompute) pos = int(first * 100 / last);
    listScroll->SetScrollPos(pos);
    firstVisible = int(first);
    RefillPacketList();
}

void CMainDlg::OnPacketDoubleClick() {
    if (packetList->GetSelectedCount() == 0) return;
    const int row = packetList->GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    std::shared_ptr<const CPacketRecord> record = RowRecord(row);
    if (!record) return;
    CPacketDetailsDlg details;
    details.SetRecord(std::move(record));
    details.DoModal();
}
