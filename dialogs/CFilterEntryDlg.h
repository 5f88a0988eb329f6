#pragma once
// One filter entry: an IPv4 address and a port. The port is typed, stepped
// with the spin arrows or picked by service name; the address is typed or
// picked from the local subnet's hosts (Browse).

#include <cstdint>
#include <functional>
#include <string>

#include "discovery/HostScan.h"
#include "skin/CSkinDialog.h"

class CFilterEntryDlg : public CSkinDialog {
public:
    explicit CFilterEntryDlg(CSkinDialog* parent = nullptr);
    ~CFilterEntryDlg() override;

    // Set by the caller before DoModal, read after IDOK.
    std::uint32_t address = 0;  // as inet_addr returns it
    std::uint16_t port = 0;     // 0: any port

    // Whether this host has a network small enough to sweep; the real
    // interface list unless replaced (tests).
    std::function<bool()> interfaceCheck;
    // The sweep the host browser runs; the real one unless replaced.
    HostScanFunction hostScan = LocalHostScan();

    bool HasBrowsableInterface();

    // The service list's item for a port text: exact text only, else "Other...".
    static int ServiceIndexForText(const std::string& portText);

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    void OnBrowse();
    void OnServiceChange();
    void OnPortChange();
    void OnHelp();
};
