// The main window's display filter: its menu entries and key, its dialog,
// and what the list pages through while one is set.

#include <algorithm>

#include "filters/FilterSet.h"
#include "platform/msgbox/MessageBox.h"
#include "dialogs/CConversationsDlg.h"
#include "dialogs/CTextLineDlg.h"
#include "dialogs/CMainDlg.h"
#include "skin/CSkinControls.h"
#include "skin/CSkinListCtrl.h"

void CMainDlg::AddDisplayFilterEntries() {
    AppendMenu(kDisplayFilterCommand, "&Display filter...\tCtrl+L");
    AppendMenu(kClearDisplayFilterCommand, "Clear display filte&r");
    AppendMenu(kConversationsCommand, "C&onversations...");
    MapClicked(kDisplayFilterCommand, &CMainDlg::OnDisplayFilter);
    MapClicked(kClearDisplayFilterCommand, [this] { ApplyDisplayFilter(nullptr); });
    MapClicked(kConversationsCommand, &CMainDlg::OnConversations);
    AddAccelerator('L', kKeyCtrl);
}

namespace {

// The filter compiled; on failure null, with the box's text in refused.
std::shared_ptr<CDisplayFilter> CompileDisplayFilter(const std::string& expression, std::string& refused) {
    auto filter = std::make_shared<CDisplayFilter>();
    std::string error;
    if (filter->Compile(expression, error)) return filter;
    refused = std::string(kDisplayFilterRefusedText) + "\n" + error;
    return nullptr;
}

}  // namespace

void CMainDlg::OnDisplayFilter() {
    CTextLineDlg dialog(kDisplayFilterDialog, displayView.Expression(), [](const std::string& line) {
        std::string refused;
        CompileDisplayFilter(line, refused);
        return refused;
    }, this);
    if (dialog.DoModal() == IDOK) SetDisplayFilter(dialog.Line());
}

void CMainDlg::OnConversations() {
    // The capture goes on meanwhile; a double click on one sets its filter.
    CConversationsDlg conversations(store, this);
    if (conversations.DoModal() == IDOK && !conversations.ChosenFilter().empty())
        SetDisplayFilter(conversations.ChosenFilter());
}

bool CMainDlg::SetDisplayFilter(const std::string& expression) {
    std::string refused;
    auto filter = CompileDisplayFilter(expression, refused);
    if (!filter) {
        ShowMessageBox(refused, MessageIcon::Exclamation);
        return false;
    }
    ApplyDisplayFilter(std::move(filter));
    return true;
}

void CMainDlg::ApplyDisplayFilter(std::shared_ptr<const CDisplayFilter> filter) {
    const std::shared_ptr<const CPacketRecord> selected = RowRecord(packetList->GetSelectedRow());
    displayView.Set(std::move(filter));
    SaveDisplayFilter(displayView.Expression());
    // The newest page while following; else the page of the selected record
    // where the new list has it, or the oldest page.
    const std::size_t p = std::size_t(std::max(0, packetList->GetCountPerPage()));
    const std::size_t n = ShownCount();
    std::size_t at = 0;
    if (selected && !followNewest) {
        const AcceptedRows all = ShownRange(0, n);
        at = std::size_t(std::find(all.begin(), all.end(), selected) - all.begin()) % std::max<std::size_t>(1, all.size());
    }
    firstVisible = 0;
    if (followNewest && n > p)
        ShowNewestPage();
    else
        ShowPageWith(at);
}

void CMainDlg::ShowPageWith(std::size_t index) {
    const long long p = std::max(0, packetList->GetCountPerPage());
    const long long n = static_cast<long long>(ShownCount());
    const long long i = static_cast<long long>(index);
    if (i < firstVisible || i >= firstVisible + p) firstVisible = int(std::max(0LL, std::min(i, n - p)));
    listScroll->SetScrollPos(n > p ? int(std::min(100LL, firstVisible * 100LL / (n - p))) : 0);
    RefillPacketList();
}

void CMainDlg::UpdateDisplayFilterLabel() {
    const bool active = displayView.Active();
    EnableMenuItem(kClearDisplayFilterCommand, active);
    ShowItem(kDisplayFilterLabel, active);
    ShowItem(kDisplayFilterCount, active);
    if (!active) return;
    const std::string expression = displayView.Expression();
    SetDlgItemText(kDisplayFilterLabel, expression);
    SetItemTip(kDisplayFilterLabel, expression);
    std::string count = std::to_string(displayView.Count()) + " of " + std::to_string(store.Count());
    if (const std::size_t leftOut = displayView.LeftOut()) count += " (" + std::to_string(leftOut) + " not matched)";
    SetDlgItemText(kDisplayFilterCount, count);
}

std::size_t CMainDlg::ShownCount() { return displayView.Active() ? displayView.Count() : store.Count(); }

AcceptedRows CMainDlg::ShownRange(std::size_t first, std::size_t count) {
    return displayView.Active() ? displayView.Range(first, count) : store.Range(first, count);
}

std::string CMainDlg::FilteredSaveText(std::uint64_t saved) {
    return "Display filter " + displayView.Expression() + ": datagrams saved: " + std::to_string(saved) + " of " +
           std::to_string(store.Count()) + " records.";
}
