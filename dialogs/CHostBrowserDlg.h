#pragma once
// The host browser: the answering hosts of the local subnet, eight rows a
// page, paged with its own scroll bar; the user picks one address.

#include <string>

#include "discovery/HostEntry.h"
#include "discovery/HostScan.h"
#include "skin/CSkinDialog.h"

class CSkinListCtrl;

class CHostBrowserDlg : public CSkinDialog {
public:
    explicit CHostBrowserDlg(CSkinDialog* parent = nullptr);
    ~CHostBrowserDlg() override;

    // The sweep that fills hosts when the window opens: the real one unless
    // replaced (tests put a stand-in here).
    HostScanFunction hostScan = LocalHostScan();

    HostList hosts;
    InterfaceMaskList interfaceMasks;
    int topIndex = 0;
    std::string selectedAddress;  // after IDOK: the chosen row's address, or empty

    static constexpr int kRowsPerPage = 8;

    // Shows the page at scroll position p (1 to 100).
    void FillHostPage(int p);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnVScroll(int code, int pos, CSkinScrollBar* bar) override;

private:
    CSkinListCtrl* List() const;
    void OnHelp();
};
