#include "ui/CPacketDetailsDlg.h"

#include "platform/help/Help.h"
#include "platform/msgbox/MessageBox.h"
#include "ui/skin/CSkinButton.h"

namespace {

struct HelpTopic {
    std::string_view name;
    unsigned context;
};

// In the order they are compared; 10025 has no protocol.
constexpr HelpTopic kHelpTopics[] = {
    {"AH", 10001},     {"CBT", 10002},    {"EGP", 10003},    {"ESP", 10004},   {"GGP", 10005},
    {"GRE", 10006},    {"HMP", 10007},    {"ICMP", 10008},   {"ICMPv6", 10009}, {"IDRP", 10010},
    {"IFMP", 10011},   {"IGMP", 10012},   {"IPinIP", 10013}, {"IPPCP", 10014}, {"IRTP", 10015},
    {"MEP", 10016},    {"MTP", 10017},    {"NARP", 10018},   {"NETBLT", 10019}, {"NVP", 10020},
    {"OSPF", 10021},   {"PIM", 10022},    {"RDP", 10023},    {"RSVP", 10024},  {"SDRP", 10026},
    {"SKIP", 10027},   {"TCP", 10028},    {"TMux", 10029},   {"UDP", 10030},   {"VMTP", 10031},
    {"VRRP", 10032},
};
static_assert(std::size(kHelpTopics) == 31);

constexpr int kDetailsBackground = 190;
constexpr int kDetailsMask = 191;

// A fixed-width field up to its terminator, one byte per character.
template <std::size_t N>
QString Text(const char (&field)[N]) {
    return QString::fromLatin1(field, int(qstrnlen(field, N)));
}

}  // namespace

std::optional<unsigned> PacketHelpContext(std::string_view protocolName) {
    for (const HelpTopic& topic : kHelpTopics)
        if (topic.name == protocolName) return topic.context;
    return std::nullopt;
}

CPacketDetailsDlg::CPacketDetailsDlg(QWidget* parent) : CSkinDialog(132, kDetailsBackground, kDetailsMask, parent) {
    MapClicked(ID_HELP, &CPacketDetailsDlg::OnHelp);
}

bool CPacketDetailsDlg::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    CutWindowRegion(kDetailsMask);
    if (auto* help = Control<CSkinButton>(ID_HELP)) help->LoadBitmaps(202, 203, 204, 0);
    if (auto* ok = Control<CSkinButton>(IDOK)) ok->LoadBitmaps(185, 186, 187, 0);
    if (record) {
        SetDlgItemText(1024, Text(record->sourceAddress));
        SetDlgItemText(1025, Text(record->sourcePort));
        SetDlgItemText(1026, Text(record->destinationAddress));
        SetDlgItemText(1027, Text(record->destinationPort));
        SetDlgItemText(1029, Text(record->protocolName));
        SetDlgItemText(1036, Text(record->protocolText));
        // The message up to its first zero byte; a note of ours where the
        // store released it.
        const CHeldBytes message = record->Message();
        const auto* bytes = reinterpret_cast<const char*>(message.bytes.data());
        SetDlgItemText(1037, message.released ? QString(kReleasedMessageText)
                                              : QString::fromLatin1(bytes, qsizetype(qstrnlen(bytes, message.bytes.size()))));
    }
    return true;
}

void CPacketDetailsDlg::OnHelp() {
    if (!record) return;
    const CPacketRecord& r = *record;
    const auto context = PacketHelpContext(std::string_view(r.protocolName, qstrnlen(r.protocolName, sizeof r.protocolName)));
    if (!context) return;
    // Our help layer reports nothing of its own when the help file cannot be
    // opened; tell the user as the main window's Help does.
    if (!OpenHelpContext(*context)) ShowMessageBox(kHelpLaunchFailedText, MessageIcon::None);
}
