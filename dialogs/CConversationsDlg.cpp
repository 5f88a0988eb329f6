#include "dialogs/CConversationsDlg.h"

#include <algorithm>
#include <string>

#include "skin/CSkinButton.h"
#include "skin/CSkinControls.h"
#include "skin/CSkinListCtrl.h"
#include "skin/Skin.h"
#include "skin/SkinTypes.h"

namespace {

constexpr int kBackground = 211;
constexpr int kMask = 212;
constexpr int kRefreshTimer = 1;

// Headings, and their shares of the list's width.
constexpr struct {
    const char* heading;
    int width;
} kColumns[kConvColumns] = {
    {"Protocol", 9},    {"Address A", 14}, {"Port A", 7},       {"Address B", 14}, {"Port B", 7}, {"A->B", 6},
    {"Bytes A->B", 12}, {"B->A", 6},      {"Bytes B->A", 12}, {"First", 12},     {"Last", 12},
};

}  // namespace

CConversationsDlg::CConversationsDlg(const CPacketStore& s, CSkinDialog* parent)
    : CSkinDialog(kConversationsDialog, kBackground, kMask, parent), store(s) {
    list = Control<CSkinListCtrl>(kConversationList);
    scroll = Control<CSkinScrollBar>(kConversationScroll);
    MapNotify(kConversationList, NM_DBLCLK, &CConversationsDlg::OnDoubleClick);
    MapNotify(kConversationList, LVN_COLUMNCLICK, [this] { SortBy(NotifyItem()); });
    // The list holds one page: the wheel over it pages through them all.
    list->SetWheelScrollBar(scroll);
    scroll->SetWheelLines(WheelScrollLines());
}

bool CConversationsDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(kMask);
    Control<CSkinButton>(IDOK)->LoadBitmaps(185, 186, 187, 0);
    list->SetBkColor(kListBackground);
    int total = 0;
    for (const auto& c : kColumns) total += c.width;
    const int width = list->GetWidth() - 4;
    for (int k = 0; k < kConvColumns && list->GetColumnCount() < kConvColumns; ++k)
        list->InsertColumn(k, kColumns[k].heading, LVCFMT_LEFT, width * kColumns[k].width / total);
    seenDropped = ~0ull;
    Refresh(false);
    SetTimer(kRefreshTimer, kRefreshMs);
    return true;
}

CConversationsDlg::~CConversationsDlg() {
    KillTimer(kRefreshTimer);
    if (counting.joinable()) counting.join();
}

void CConversationsDlg::Refresh(bool inBackground) {
    // Only when records came or went: a quiet store costs nothing.
    const std::uint64_t dropped = store.Dropped();
    const std::size_t count = store.Count();
    if (dropped == seenDropped && count == seenCount) return;
    if (counting.joinable()) {
        if (inBackground) return;  // the next turn looks again
        counting.join();
    }
    seenDropped = dropped, seenCount = count;
    std::uint64_t from;
    std::vector<std::shared_ptr<const CPacketRecord>> snapshot = store.Since(0, CPacketStore::kLimit, from);
    const auto countAndSort = [column = sortColumn, down = descending](const std::vector<std::shared_ptr<const CPacketRecord>>& records) {
        std::vector<CConversation> counted = CountConversations(records);
        if (column >= 0) SortConversations(counted, column, down);
        return counted;
    };
    if (!inBackground) {
        Show(countAndSort(snapshot), sortColumn, descending, snapshot.size());
        return;
    }
    counting = std::thread([this, countAndSort, snapshot = std::move(snapshot), column = sortColumn, down = descending]() mutable {
        std::vector<CConversation> counted = countAndSort(snapshot);
        const std::size_t records = snapshot.size();
        snapshot.clear();  // the records go back on this thread, not the window's
        PostCall([this, counted = std::move(counted), column, down, records]() mutable {
            counting.join();
            Show(std::move(counted), column, down, records);
        });
    });
}

void CConversationsDlg::Show(std::vector<CConversation> counted, int sortedBy, bool sortedDescending,
                             std::size_t records) {
    conversations = std::move(counted);
    // A heading pressed while counting.
    if (sortColumn >= 0 && (sortColumn != sortedBy || descending != sortedDescending))
        SortConversations(conversations, sortColumn, descending);
    SetDlgItemText(kConversationCount, "Conversations: " + std::to_string(conversations.size()) + ", among " +
                                           std::to_string(records) + " records");
    ShowPage();
}

void CConversationsDlg::SortBy(int column) {
    descending = column == sortColumn && !descending;
    sortColumn = column;
    SortConversations(conversations, sortColumn, descending);
    ShowPage();
}

void CConversationsDlg::ShowPage() {
    const int p = std::max(1, list->GetCountPerPage());
    const int last = std::max(0, int(conversations.size()) - p);
    first = std::clamp(first, 0, last);
    scroll->SetScrollRange(0, last);
    scroll->SetScrollPos(first);
    const int selected = list->GetSelectedRow();
    list->DeleteAllItems();
    for (int row = 0; row < p && first + row < int(conversations.size()); ++row) {
        const CConversation& c = conversations[std::size_t(first + row)];
        list->InsertItem(row, ConversationCell(c, 0));
        for (int k = 1; k < kConvColumns; ++k) list->SetItemText(row, k, ConversationCell(c, k));
    }
    if (selected < list->GetItemCount()) list->SetSelectedRow(selected);
}

void CConversationsDlg::OnVScroll(int code, int pos, CSkinScrollBar* bar) {
    if (bar != scroll) return;
    const int p = std::max(1, list->GetCountPerPage());
    switch (code) {
    case SB_LINEUP: first -= 1; break;
    case SB_LINEDOWN: first += 1; break;
    case SB_PAGEUP: first -= p; break;
    case SB_PAGEDOWN: first += p; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: first = pos; break;
    case SB_TOP: first = 0; break;
    case SB_BOTTOM: first = int(conversations.size()); break;
    default: return;
    }
    list->SetSelectedRow(-1);
    ShowPage();
}

void CConversationsDlg::OnTimer(int timerId) {
    if (timerId == kRefreshTimer) Refresh();
}

void CConversationsDlg::OnDoubleClick() {
    const int row = list->GetSelectedRow();
    if (row < 0 || first + row >= int(conversations.size())) return;
    chosen = conversations[std::size_t(first + row)].Filter();
    EndDialog(IDOK);
}
