#pragma once
// The Filters window: both include lists and the two reporting options,
// edited on a working copy that OnFilters takes over only after OK.

#include <cstdint>
#include <vector>

#include "skin/CSkinDialog.h"

class CFilterSetHolder;
class CFilterListScroller;
class CSkinListCtrl;

class CFiltersDlg : public CSkinDialog {
public:
    using AddressList = std::vector<std::uint32_t>;
    using PortList = std::vector<std::uint16_t>;

    // The four lists are the working copy, edited in place and not owned.
    CFiltersDlg(AddressList& srcAddrs, PortList& srcPorts, AddressList& destAddrs, PortList& destPorts,
                CSkinDialog* parent = nullptr);
    ~CFiltersDlg() override;

    // In: the set's flags. Out, after IDOK: 0 or 1 each.
    std::int32_t fullInfo = 0;
    std::int32_t messages = 0;

    AddressList& srcAddrs;
    PortList& srcPorts;
    AddressList& destAddrs;
    PortList& destPorts;

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    // One side: its list control and its two parallel lists.
    struct Side {
        int listId;
        AddressList& addrs;
        PortList& ports;
    };

    void OnAddSource() { AddEntry(Source()); }
    void OnEditSource() { EditEntry(Source()); }
    void OnDeleteSource() { DeleteEntry(Source()); }
    void OnAddDestination() { AddEntry(Destination()); }
    void OnEditDestination() { EditEntry(Destination()); }
    void OnDeleteDestination() { DeleteEntry(Destination()); }
    void OnFullInfo();
    void OnReducedInfo();
    void OnHelp();

    Side Source() { return {1002, srcAddrs, srcPorts}; }
    Side Destination() { return {1004, destAddrs, destPorts}; }
    void AddEntry(const Side& side);
    void EditEntry(const Side& side);
    void DeleteEntry(const Side& side);
    void SyncScroller(int listId);

    CFilterListScroller* sourceScroller = nullptr;  // children of their lists
    CFilterListScroller* destinationScroller = nullptr;
};

// The main window's Filters button: runs the dialog over a working copy of
// the live set and, only when it ends with IDOK, publishes the edited set in
// one step (the next datagram is matched against it) and saves it. Any other
// result leaves the set and the store untouched. Returns the dialog's result.
int RunFiltersDialog(CFilterSetHolder& live);
