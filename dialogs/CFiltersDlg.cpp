#include "dialogs/CFiltersDlg.h"


#include <algorithm>
#include <cstdlib>
#include <string>

#include "dialogs/CFilterEntryDlg.h"
#include "filters/FilterSet.h"
#include "discovery/LocalHostScan.h"
#include "filters/FilterSetHolder.h"
#include "platform/help/Help.h"
#include "platform/msgbox/MessageBox.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinListCtrl.h"
#include "skin/FilterListScroller.h"
#include "skin/SkinTypes.h"

namespace {

constexpr int kSourceList = 1002;
constexpr int kDestinationList = 1004;
constexpr int kFullInfo = 1013;
constexpr int kReducedInfo = 1014;
constexpr int kMessages = 1017;

constexpr char kDuplicateAddText[] = "Item with same address and port already exists!!!";
constexpr char kDuplicateEditText[] = "Entry with same address and port already exists!!!";
constexpr char kDeleteFailedText[] = "Some error occures!!!";

std::string Dotted(std::uint32_t address) { return DottedAddress(address); }

// Rows hold the dotted text this window wrote.
std::uint32_t AddressOfRow(const CSkinListCtrl& list, int row) {
    return ParseDottedAddress(list.GetItemString(row, 0)).value_or(0xFFFFFFFFu);
}

std::uint16_t PortOfRow(const CSkinListCtrl& list, int row) {
    return static_cast<std::uint16_t>(std::atoi(list.GetItemString(row, 1).c_str()));
}

// Index of the first entry equal to (address, port), entry `except` left
// out, or -1.
template <class Addrs, class Ports>
long FindEntry(const Addrs& addrs, const Ports& ports, std::uint32_t address, std::uint16_t port, long except = -1) {
    const size_t n = std::min(addrs.size(), ports.size());
    for (size_t i = 0; i < n; ++i)
        if (addrs[i] == address && ports[i] == port && static_cast<long>(i) != except) return static_cast<long>(i);
    return -1;
}

}  // namespace

CFiltersDlg::CFiltersDlg(AddressList& sa, PortList& sp, AddressList& da, PortList& dp, CSkinDialog* parent)
    : CSkinDialog(129, 190, 191, parent), srcAddrs(sa), srcPorts(sp), destAddrs(da), destPorts(dp) {
    MapClicked(1005, &CFiltersDlg::OnAddSource);
    MapClicked(1007, &CFiltersDlg::OnEditSource);
    MapClicked(1016, &CFiltersDlg::OnDeleteSource);
    MapClicked(1009, &CFiltersDlg::OnAddDestination);
    MapClicked(1011, &CFiltersDlg::OnEditDestination);
    MapClicked(1012, &CFiltersDlg::OnDeleteDestination);
    MapClicked(kFullInfo, &CFiltersDlg::OnFullInfo);
    MapClicked(kReducedInfo, &CFiltersDlg::OnReducedInfo);
    MapClicked(ID_HELP, &CFiltersDlg::OnHelp);
    // The template gives the lists no scroll bars; rows beyond the visible
    // height are reached through these.
    sourceScroller = new CFilterListScroller(Control<CSkinListCtrl>(kSourceList));
    destinationScroller = new CFilterListScroller(Control<CSkinListCtrl>(kDestinationList));
}

CFiltersDlg::~CFiltersDlg() = default;

bool CFiltersDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(191);
    for (int id : {1005, 1009}) Control<CSkinButton>(id)->LoadBitmaps(176, 178, 178, 0);
    for (int id : {1007, 1011}) Control<CSkinButton>(id)->LoadBitmaps(179, 180, 181, 0);
    for (int id : {1016, 1012}) Control<CSkinButton>(id)->LoadBitmaps(182, 183, 184, 0);
    Control<CSkinButton>(IDCANCEL)->LoadBitmaps(173, 174, 175, 0);
    Control<CSkinButton>(IDOK)->LoadBitmaps(185, 186, 187, 0);
    Control<CSkinButton>(ID_HELP)->LoadBitmaps(202, 203, 204, 0);

    auto* source = Control<CSkinListCtrl>(kSourceList);
    auto* destination = Control<CSkinListCtrl>(kDestinationList);
    const int w = source->GetWidth();
    for (CSkinListCtrl* list : {source, destination}) {
        list->SetBkColor(kListBackground);
        if (list->GetColumnCount() == 0) {
            list->InsertColumn(0, "Address", LVCFMT_LEFT, (2 * w) / 3 - 2);
            list->InsertColumn(1, "Port", LVCFMT_LEFT, w / 3 - 2);
        }
        list->DeleteAllItems();
    }
    for (const Side& side : {Source(), Destination()}) {
        auto* list = Control<CSkinListCtrl>(side.listId);
        const size_t n = std::min(side.addrs.size(), side.ports.size());
        for (size_t i = 0; i < n; ++i) {
            const int row = list->InsertItem(list->GetItemCount(), Dotted(side.addrs[i]));
            list->SetItemText(row, 1, std::to_string(side.ports[i]));
        }
        SyncScroller(side.listId);
    }

    CheckDlgButton(kFullInfo, fullInfo != 0);
    CheckDlgButton(kReducedInfo, fullInfo == 0);
    CheckDlgButton(kMessages, messages != 0);
    return true;
}

void CFiltersDlg::SyncScroller(int listId) {
    (listId == kSourceList ? sourceScroller : destinationScroller)->Sync();
}

void CFiltersDlg::AddEntry(const Side& side) {
    CFilterEntryDlg entry;
    entry.address = 0;
    entry.port = 0;
    if (entry.DoModal() != IDOK) return;
    if (FindEntry(side.addrs, side.ports, entry.address, entry.port) >= 0) {
        ShowMessageBox(kDuplicateAddText, MessageIcon::Exclamation);
        return;
    }
    auto* list = Control<CSkinListCtrl>(side.listId);
    const int row = list->InsertItem(list->GetItemCount(), Dotted(entry.address));
    list->SetItemText(row, 1, std::to_string(entry.port));
    side.addrs.push_back(entry.address);
    side.ports.push_back(entry.port);
    // The new row may lie below the visible ones.
    list->EnsureVisible(row);
    SyncScroller(side.listId);
}

void CFiltersDlg::EditEntry(const Side& side) {
    auto* list = Control<CSkinListCtrl>(side.listId);
    const int r = list->GetNextItem(-1, LVNI_SELECTED);
    if (r < 0) return;
    CFilterEntryDlg entry;
    entry.address = AddressOfRow(*list, r);
    entry.port = PortOfRow(*list, r);
    if (entry.DoModal() != IDOK) return;
    // Only another entry can be a duplicate: OK without a change keeps the
    // entry as it is.
    if (FindEntry(side.addrs, side.ports, entry.address, entry.port, r) >= 0) {
        ShowMessageBox(kDuplicateEditText, MessageIcon::Exclamation);
        return;
    }
    list->SetItemText(r, 0, Dotted(entry.address));
    list->SetItemText(r, 1, std::to_string(entry.port));
    if (static_cast<size_t>(r) < side.addrs.size() && static_cast<size_t>(r) < side.ports.size()) {
        side.addrs[r] = entry.address;
        side.ports[r] = entry.port;
    }
}

void CFiltersDlg::DeleteEntry(const Side& side) {
    auto* list = Control<CSkinListCtrl>(side.listId);
    const int r = list->GetNextItem(-1, LVNI_SELECTED);
    if (r < 0) return;
    const std::uint32_t address = AddressOfRow(*list, r);
    const std::uint16_t port = PortOfRow(*list, r);
    // Entry r is the row's own; among duplicates the first equal one would
    // take another row's entry and leave rows and entries out of step.
    long i = -1;
    if (static_cast<size_t>(r) < side.addrs.size() && static_cast<size_t>(r) < side.ports.size() &&
        side.addrs[r] == address && side.ports[r] == port)
        i = r;
    else
        i = FindEntry(side.addrs, side.ports, address, port);
    if (i < 0) {
        ShowMessageBox(kDeleteFailedText, MessageIcon::Exclamation);
        return;
    }
    list->DeleteItem(r);
    side.addrs.erase(side.addrs.begin() + i);
    side.ports.erase(side.ports.begin() + i);
    SyncScroller(side.listId);
}

void CFiltersDlg::OnFullInfo() { CheckDlgButton(kReducedInfo, false); }
void CFiltersDlg::OnReducedInfo() { CheckDlgButton(kFullInfo, false); }

void CFiltersDlg::OnOK() {
    fullInfo = IsDlgButtonChecked(kReducedInfo) ? 0 : 1;
    messages = IsDlgButtonChecked(kMessages) ? 1 : 0;
    EndDialog(IDOK);
}

void CFiltersDlg::OnHelp() { ShowHelpContext(kFiltersHelpContext); }

int RunFiltersDialog(CFilterSetHolder& live) {
    const std::shared_ptr<const CFilterSet> current = live.Snapshot();
    // The working copy: the dialog edits these, the live set stays as it is.
    CFiltersDlg::AddressList srcAddrs = current->srcAddrs, destAddrs = current->destAddrs;
    CFiltersDlg::PortList srcPorts = current->srcPorts, destPorts = current->destPorts;
    CFiltersDlg dlg(srcAddrs, srcPorts, destAddrs, destPorts);
    dlg.fullInfo = current->fullInfo;
    dlg.messages = current->messages;
    const int result = dlg.DoModal();
    if (result != IDOK) return result;

    CFilterSet edited;
    edited.fullInfo = dlg.fullInfo;
    edited.messages = dlg.messages;
    edited.srcAddrs = std::move(srcAddrs);
    edited.srcPorts = std::move(srcPorts);
    edited.destAddrs = std::move(destAddrs);
    edited.destPorts = std::move(destPorts);
    live.Publish(edited);  // the next datagram sees the whole new set
    SaveFilterSet(edited);
    return result;
}
