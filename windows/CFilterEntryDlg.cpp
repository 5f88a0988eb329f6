#include "windows/CFilterEntryDlg.h"

#include <arpa/inet.h>

#include <QRegularExpression>
#include <array>

#include "windows/CHostBrowserDlg.h"
#include "discovery/InterfaceMasks.h"
#include "filters/FilterSet.h"
#include "platform/help/Help.h"
#include "platform/msgbox/MessageBox.h"
#include "skin/qt/CSkinButton.h"
#include "skin/qt/CSkinComboBox.h"
#include "skin/qt/CSkinControls.h"

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

}  // namespace

CFilterEntryDlg::CFilterEntryDlg(QWidget* parent) : CSkinDialog(130, 188, 189, parent) {
    MapClicked(kBrowse, &CFilterEntryDlg::OnBrowse);
    MapCommand(kServices, CBN_SELCHANGE, &CFilterEntryDlg::OnServiceChange);
    MapCommand(kPortEdit, EN_CHANGE, &CFilterEntryDlg::OnPortChange);
    MapClicked(ID_HELP, &CFilterEntryDlg::OnHelp);
}

CFilterEntryDlg::~CFilterEntryDlg() = default;

bool CFilterEntryDlg::HasBrowsableInterface() {
    return interfaceCheck ? interfaceCheck() : ::HasBrowsableInterface();
}

int CFilterEntryDlg::ServiceIndexForText(const QString& text) {
    for (size_t i = 0; i < kServicePorts.size(); ++i)
        if (text == QString::number(kServicePorts[i])) return static_cast<int>(i);
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

    in_addr a{};
    a.s_addr = address;
    SetDlgItemText(kAddressEdit, inet_ntoa(a));
    SetDlgItemInt(kPortEdit, port);
    Control<CSkinUpDown>(kSpin)->SetRange32(0, 65535);
    Control<CSkinComboBox>(kServices)->SetCurSel(ServiceIndexForText(QString::number(port)));
    return true;
}

void CFilterEntryDlg::OnPortChange() {
    auto* services = Control<CSkinComboBox>(kServices);
    if (!services) return;
    // SetCurSel raises no CBN_SELCHANGE, so OnServiceChange does not run in turn.
    services->SetCurSel(ServiceIndexForText(GetDlgItemText(kPortEdit)));
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
    if (browser.DoModal() == IDOK) SetDlgItemText(kAddressEdit, QString::fromStdString(browser.selectedAddress));
}

void CFilterEntryDlg::OnOK() {
    // Text that is no address is refused, as an impossible port is: taken
    // as inet_addr takes it, it would become 255.255.255.255.
    const std::optional<std::uint32_t> typed = ParseDottedAddress(GetDlgItemText(kAddressEdit).toStdString());
    if (!typed) {
        ShowMessageBox(kBadAddressText, MessageIcon::Exclamation);
        if (auto* edit = Control<CSkinEdit>(kAddressEdit)) {
            edit->setFocus();
            edit->selectAll();
        }
        return;
    }

    bool translated = false;
    const long long value = GetDlgItemInt(kPortEdit, &translated, true);
    if (!translated) {
        // A number too long for 32 bits is still out of range, not "any port".
        static const QRegularExpression number(QStringLiteral("^\\s*([+-]?)[0-9]+\\s*$"));
        const auto match = number.match(GetDlgItemText(kPortEdit));
        if (match.hasMatch()) {
            ShowMessageBox(match.captured(1) == "-" ? kNegativePortText : kPortTooBigText,
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
