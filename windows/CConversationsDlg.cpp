#include "windows/CConversationsDlg.h"

#include <QApplication>
#include <QWheelEvent>
#include <algorithm>

#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"
#include "skin/qt/SkinLook.h"

namespace {

constexpr int kBackground = 211;
constexpr int kMask = 212;

// Headings, and their shares of the list's width.
constexpr struct {
    const char* heading;
    int width;
} kColumns[kConvColumns] = {
    {"Protocol", 9},    {"Address A", 14}, {"Port A", 7},       {"Address B", 14}, {"Port B", 7}, {"A->B", 6},
    {"Bytes A->B", 12}, {"B->A", 6},      {"Bytes B->A", 12}, {"First", 12},     {"Last", 12},
};

}  // namespace

CConversationsDlg::CConversationsDlg(const CPacketStore& s, QWidget* parent)
    : CSkinDialog(kConversationsDialog, kBackground, kMask, parent), store(s) {
    list = Control<CSkinListCtrl>(kConversationList);
    scroll = Control<CSkinScrollBar>(kConversationScroll);
    MapNotify(kConversationList, NM_DBLCLK, &CConversationsDlg::OnDoubleClick);
    connect(list, &CSkinListCtrl::headerClicked, this, &CConversationsDlg::SortBy);
    list->installEventFilter(this);
    scroll->SetWheelLines(QApplication::wheelScrollLines());
    refresh.setInterval(kRefreshMs);
    connect(&refresh, &QTimer::timeout, this, [this] { Refresh(); });
}

bool CConversationsDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(kMask);
    Control<CSkinButton>(IDOK)->LoadBitmaps(185, 186, 187, 0);
    list->SetBkColor(QColor::fromRgb(kListBackgroundRgb));
    int total = 0;
    for (const auto& c : kColumns) total += c.width;
    const int width = list->width() - 4;
    for (int k = 0; k < kConvColumns && list->GetColumnCount() < kConvColumns; ++k)
        list->InsertColumn(k, QString::fromLatin1(kColumns[k].heading), LVCFMT_LEFT, width * kColumns[k].width / total);
    seenDropped = ~0ull;
    Refresh(false);
    refresh.start();
    return true;
}

CConversationsDlg::~CConversationsDlg() {
    refresh.stop();
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
        QMetaObject::invokeMethod(this, [this, counted = std::move(counted), column, down, records]() mutable {
            counting.join();
            Show(std::move(counted), column, down, records);
        }, Qt::QueuedConnection);
    });
}

void CConversationsDlg::Show(std::vector<CConversation> counted, int sortedBy, bool sortedDescending,
                             std::size_t records) {
    conversations = std::move(counted);
    // A heading pressed while counting.
    if (sortColumn >= 0 && (sortColumn != sortedBy || descending != sortedDescending))
        SortConversations(conversations, sortColumn, descending);
    SetDlgItemText(kConversationCount, QStringLiteral("Conversations: %1, among %2 records")
                                           .arg(conversations.size()).arg(records));
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
        list->InsertItem(row, QString::fromStdString(ConversationCell(c, 0)));
        for (int k = 1; k < kConvColumns; ++k) list->SetItemText(row, k, QString::fromStdString(ConversationCell(c, k)));
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

bool CConversationsDlg::eventFilter(QObject* watched, QEvent* e) {
    // The list holds one page: the wheel over it pages through them all.
    if (watched == list && e->type() == QEvent::Wheel) {
        scroll->ReportWheel(static_cast<QWheelEvent*>(e)->angleDelta());
        return true;
    }
    return CSkinDialog::eventFilter(watched, e);
}

void CConversationsDlg::OnDoubleClick() {
    const int row = list->GetSelectedRow();
    if (row < 0 || first + row >= int(conversations.size())) return;
    chosen = conversations[std::size_t(first + row)].Filter();
    EndDialog(IDOK);
}
