#include "dialogs/CPacketDetailsDlg.h"

#include <cstdio>
#include <cstring>

#include "platform/help/Help.h"
#include "platform/msgbox/MessageBox.h"
#include "skin/CSkinButton.h"
#include "skin/CSkinControls.h"
#include "skin/Skin.h"

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
constexpr int kMessageBox = 1037;
constexpr int kHexCommand = 32771;
constexpr int kCopyCommand = 32772;

// The message view of the program's run.
bool hexView = false;

// Bytes as characters of their own code (Latin-1), in UTF-8.
std::string Latin1(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xc0 | b >> 6);
            text += static_cast<char>(0x80 | (b & 0x3f));
        }
    }
    return text;
}

// A fixed-width field up to its terminator, one byte per character.
template <std::size_t N>
std::string Text(const char (&field)[N]) {
    return Latin1(std::string_view(field, strnlen(field, N)));
}

}  // namespace

std::optional<unsigned> PacketHelpContext(std::string_view protocolName) {
    for (const HelpTopic& topic : kHelpTopics)
        if (topic.name == protocolName) return topic.context;
    return std::nullopt;
}

CHeldBytes MessageOf(const CPacketRecord& r) { return r.Message(); }

std::string MessageBoxText(const CHeldBytes& message, bool hex) {
    if (message.released) return kReleasedMessageText;
    const std::span<const std::uint8_t> bytes = message.bytes;
    if (!hex) {
        std::size_t end = 0;
        while (end < bytes.size() && bytes[end] != 0) ++end;
        return Latin1(std::string_view(reinterpret_cast<const char*>(bytes.data()), end));
    }
    // "0000  47 45 54 20 2f 20 48 54  54 50 2f 31 2e 31 0d 0a  GET / HTTP/1.1.."
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve((bytes.size() / 16 + 1) * 73);
    for (std::size_t line = 0; line < bytes.size(); line += 16) {
        if (line) text += '\n';
        char offset[24];
        std::snprintf(offset, sizeof offset, "%04zx  ", line);
        text += offset;
        std::string ascii;
        for (std::size_t i = line; i < line + 16; ++i) {
            if (i > line) text += i == line + 8 ? "  " : " ";
            if (i < bytes.size()) {
                const std::uint8_t b = bytes[i];
                text += kDigits[b >> 4];
                text += kDigits[b & 15];
                ascii += b >= 0x20 && b < 0x7f ? char(b) : '.';
            } else {
                text += "  ";
            }
        }
        text += "  " + ascii;
    }
    return text;
}

bool CPacketDetailsDlg::HexView() { return hexView; }
void CPacketDetailsDlg::SetHexView(bool hex) { hexView = hex; }

CPacketDetailsDlg::CPacketDetailsDlg(CSkinDialog* parent)
    : CSkinDialog(132, kDetailsBackground, kDetailsMask, parent) {
    MapClicked(ID_HELP, &CPacketDetailsDlg::OnHelp);

    AppendMenu(kHexCommand, "Message as hex", {.ctrlLetter = 'H'}, true);
    MapClicked(kHexCommand, &CPacketDetailsDlg::ToggleHexView);
    // Ctrl+C copies the whole entry, unless a text box has a selection of its own.
    AppendMenu(kCopyCommand, "Copy the entry\tCtrl+C", {.standardCopy = true});
    MapClicked(kCopyCommand, [this] { SetClipboardText(EntryText()); });
    // The message box offers the entry below its own editing entries.
    AddToEditMenu(kMessageBox, kHexCommand);
}

std::string CPacketDetailsDlg::EntryText() const {
    const auto text = [this](int id) {
        std::string t;
        GetDlgItemText(id, t);
        return t;
    };
    return "Source Addr: " + text(1024) + "\tSource Port: " + text(1025) + "\nDest. Addr: " + text(1026) +
           "\tDest Port: " + text(1027) + "\nSub-protocol: " + text(1029) + "\nAdditional Info: " + text(1036) +
           "\nMessage Body:\n" + text(kMessageBox) + "\n";
}

void CPacketDetailsDlg::ToggleHexView() {
    hexView = !hexView;
    ShowMessage();
}

void CPacketDetailsDlg::ShowMessage() {
    auto* box = Control<CSkinMultiEdit>(kMessageBox);
    if (!box) return;
    box->SetFixedPitch(hexView);
    box->SetText(record ? MessageBoxText(MessageOf(*record), hexView) : std::string());
    CheckMenuItem(kHexCommand, hexView);
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
    }
    ShowMessage();
    return true;
}

void CPacketDetailsDlg::OnHelp() {
    if (!record) return;
    const CPacketRecord& r = *record;
    const auto context = PacketHelpContext(std::string_view(r.protocolName, strnlen(r.protocolName, sizeof r.protocolName)));
    if (!context) return;
    // Our help layer reports nothing of its own when the help file cannot be
    // opened; tell the user as the main window's Help does.
    ShowHelpContext(*context);
}
