#include "dialogs/CFilterEntryDlg.h"


#include <array>
#include <cctype>
#include <optional>

#include "dialogs/CHostBrowserDlg.h"
#include "discovery/LocalHostScan.h"
#include "discovery/InterfaceMasks.h"
#include "filters/FilterSet.h"
#include "platform/help/Help.h"
#include "platform/msgbox/MessageBox.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinComboBox.h"
#include "skin/CSkinControls.h"

namespace {

constexpr int kBrowse = 104;
constexpr int kAddressEdit = 1006;
constexpr int kPortEdit = 1008;
constexpr int kSpin = 1032;
constexpr int kServices = 1041;

// The service list's ports, by item index; the last item, "Other...", has none.
constexpr std::array<int, 7> kServicePorts = {80, 21, 25, 110, 43, 79, 23};
constexpr int kOtherService = 7;

constexpr char kNegativePortText[] = "Port number can not be negative!!!";
constexpr char kPortTooBigText[] = "Port number can not be bigger than 65535!!!";
constexpr char kBadAddressText[] = "Address is not a valid IPv4 address!!!";

// A whole number, signed or not, with blanks around it: '-' or '+' for its
// sign, 0 when it has none; anything else gives nothing.
std::optional<char> WholeNumberSign(const std::string& text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    while (i < text.size() && blank(text[i])) ++i;
    char sign = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) sign = text[i++];
    if (i == text.size() || !digit(text[i])) return std::nullopt;
    while (i < text.size() && digit(text[i])) ++i;
    while (i < text.size() && blank(text[i])) ++i;
    if (i != text.size()) return std::nullopt;
    return sign;
}

}  // namespace

CFilterEntryDlg::CFilterEntryDlg(CSkinDialog* parent) : CSkinDialog(130, 188, 189, parent) {
    MapClicked(kBrowse, &CFilterEntryDlg::OnBrowse);
    MapCommand(kServices, CBN_SELCHANGE, &CFilterEntryDlg::OnServiceChange);
    MapCommand(kPortEdit, EN_CHANGE, &CFilterEntryDlg::OnPortChange);
    MapClicked(ID_HELP, &CFilterEntryDlg::OnHelp);
}

CFilterEntryDlg::~CFilterEntryDlg() = default;

bool CFilterEntryDlg::HasBrowsableInterface() {
    return interfaceCheck ? interfaceCheck() : ::HasBrowsableInterface();
}

int CFilterEntryDlg::ServiceIndexForText(const std::string& text) {
    for (size_t i = 0; i < kServicePorts.size(); ++i)
        if (text == std::to_string(kServicePorts[i])) return static_cast<int>(i);
    return kOtherService;
}

bool CFilterEntryDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(189);
    Control<CSkinButton>(kBrowse)->LoadBitmaps(205, 206, 207, 0);
    Control<CSkinButton>(IDCANCEL)->LoadBitmaps(173, 174, 175, 0);
    Control<CSkinButton>(IDOK)->LoadBitmaps(185, 186, 187, 0);
    Control<CSkinButton>(ID_HELP)->LoadBitmaps(202, 203, 204, 0);

    ShowItem(kBrowse, HasBrowsableInterface());

    SetDlgItemText(kAddressEdit, DottedAddress(address));
    SetDlgItemInt(kPortEdit, port);
    Control<CSkinUpDown>(kSpin)->SetRange32(0, 65535);
    Control<CSkinComboBox>(kServices)->SetCurSel(ServiceIndexForText(std::to_string(port)));
    return true;
}

void CFilterEntryDlg::OnPortChange() {
    auto* services = Control<CSkinComboBox>(kServices);
    if (!services) return;
    // SetCurSel raises no CBN_SELCHANGE, so OnServiceChange does not run in turn.
    std::string text;
    GetDlgItemText(kPortEdit, text);
    services->SetCurSel(ServiceIndexForText(text));
}

void CFilterEntryDlg::OnServiceChange() {
    const int index = Control<CSkinComboBox>(kServices)->GetCurSel();
    if (index < 0) return;
    // Runs OnPortChange, which selects the same item.
    if (index < static_cast<int>(kServicePorts.size()))
        SetDlgItemInt(kPortEdit, kServicePorts[index]);
    else
        SetDlgItemText(kPortEdit, "0");
}

void CFilterEntryDlg::OnBrowse() {
    CHostBrowserDlg browser;
    browser.hostScan = hostScan;
    if (browser.DoModal() == IDOK) SetDlgItemText(kAddressEdit, browser.selectedAddress);
}

void CFilterEntryDlg::OnOK() {
    // Text that is no address is refused, as an impossible port is: taken
    // as inet_addr takes it, it would become 255.255.255.255.
    std::string addressText;
    GetDlgItemText(kAddressEdit, addressText);
    const std::optional<std::uint32_t> typed = ParseDottedAddress(addressText);
    if (!typed) {
        ShowMessageBox(kBadAddressText, MessageIcon::Exclamation);
        FocusItem(kAddressEdit, true);
        return;
    }

    bool translated = false;
    const long long value = GetDlgItemInt(kPortEdit, &translated, true);
    if (!translated) {
        // A number too long for 32 bits is still out of range, not "any port".
        std::string portText;
        GetDlgItemText(kPortEdit, portText);
        if (const std::optional<char> sign = WholeNumberSign(portText)) {
            ShowMessageBox(*sign == '-' ? kNegativePortText : kPortTooBigText,
                           MessageIcon::Exclamation);
            return;
        }
    }
    if (value < 0) {
        ShowMessageBox(kNegativePortText, MessageIcon::Exclamation);
        return;
    }
    if (value > 65535) {
        ShowMessageBox(kPortTooBigText, MessageIcon::Exclamation);
        return;
    }
    address = *typed;
    port = static_cast<std::uint16_t>(value);
    EndDialog(IDOK);
}

void CFilterEntryDlg::OnHelp() { ShowHelpContext(kFilterEntryHelpContext); }
