#pragma once
// The conversations window: every conversation among the records kept (see
// Conversations.h), one page of the list at a time with its scroll bar,
// sorted by the heading last pressed (again: the other way). It counts
// when it opens, then afresh every kRefreshMs while the store changes: from
// one snapshot of the store, taken on the window thread, counted and sorted
// on a thread of its own so that the window stays responsive. A double click
// on a row ends it with that conversation's display filter.

#include <string>
#include <thread>
#include <vector>

#include "capture/PacketStore.h"
#include "dialogs/Conversations.h"
#include "skin/CSkinDialog.h"

class CSkinListCtrl;
class CSkinScrollBar;

class CConversationsDlg : public CSkinDialog {
public:
    static constexpr int kRefreshMs = 1000;

    explicit CConversationsDlg(const CPacketStore& store, CSkinDialog* parent = nullptr);
    // Waits for a count still going.
    ~CConversationsDlg() override;
    // After IDOK from a double click: the conversation's display filter.
    const std::string& ChosenFilter() const { return chosen; }
    const std::vector<CConversation>& Conversations() const { return conversations; }
    // Counts now, or (inBackground) on the counting thread unless it is busy.
    void Refresh(bool inBackground = true);
    void SortBy(int column);

protected:
    bool OnInitDialog() override;
    void OnVScroll(int code, int pos, CSkinScrollBar* bar) override;
    void OnTimer(int timerId) override;

private:
    void ShowPage();
    void OnDoubleClick();
    void Show(std::vector<CConversation> counted, int sortedBy, bool sortedDescending, std::size_t records);

    const CPacketStore& store;
    std::vector<CConversation> conversations;
    std::uint64_t seenDropped = ~0ull;
    std::size_t seenCount = 0;
    int sortColumn = -1;
    bool descending = false;
    int first = 0;
    std::string chosen;
    std::thread counting;
    CSkinListCtrl* list;
    CSkinScrollBar* scroll;
};
