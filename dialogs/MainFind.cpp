// The main window's Find (Ctrl+F, F3, Shift+F3) and Copy (Ctrl+C).

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/msgbox/MessageBox.h"
#include "dialogs/CMainDlg.h"
#include "dialogs/CTextLineDlg.h"
#include "skin/CSkinListCtrl.h"
#include "skin/Skin.h"

namespace {

constexpr char kNotFoundText[] = "Text not found: ";

bool HoldsFolded(std::string_view hay, std::string_view lowerNeedle) {
    return std::search(hay.begin(), hay.end(), lowerNeedle.begin(), lowerNeedle.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           }) != hay.end();
}

// The record's texts as its log entry holds them: the row, the decoder's
// text and the message's bytes.
bool RecordHolds(const CPacketRecord& r, std::string_view lowerNeedle) {
    for (const char* field : {r.sourceAddress, r.sourcePort, r.destinationAddress, r.destinationPort, r.protocolName,
                              r.lengthText, r.protocolText})
        if (HoldsFolded(field, lowerNeedle)) return true;
    const CHeldBytes message = r.Message();
    return HoldsFolded(std::string_view(reinterpret_cast<const char*>(message.bytes.data()), message.bytes.size()),
                       lowerNeedle);
}

// The needle as the records' one byte a character holds it: UTF-8 decoded,
// characters beyond Latin-1 as '?'.
std::string Latin1(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const int length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        unsigned long code = length == 1 ? c : c & (0x3F >> (length - 1));
        bool whole = length == 1 ? c < 0x80 : i + std::size_t(length) <= utf8.size();
        for (int k = 1; whole && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(utf8[i + std::size_t(k)]);
            whole = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        out += whole && code < 0x100 ? char(code) : '?';
        i += whole ? std::size_t(length) : 1;
    }
    return out;
}

}  // namespace

void CMainDlg::AddFindEntries() {
    AppendMenu(kFindCommand, "F&ind...\tCtrl+F");
    MapClicked(kFindCommand, &CMainDlg::OnFind);
    for (auto [key, modifiers] : {std::pair{unsigned('F'), kKeyCtrl}, {VK_F3, 0u}, {VK_F3, kKeyShift}, {unsigned('C'), kKeyCtrl}})
        AddAccelerator(key, modifiers);
}

void CMainDlg::FindNext(bool forward) {
    if (!findText.empty()) FindRecord(findText, forward);
}

void CMainDlg::OnFind() {
    CTextLineDlg dialog(kFindDialog, findText, {}, this);
    if (dialog.DoModal() == IDOK && !dialog.Line().empty()) FindRecord(dialog.Line(), true);
}

bool CMainDlg::FindRecord(const std::string& text, bool forward) {
    findText = text;
    std::string needle = Latin1(text);
    std::transform(needle.begin(), needle.end(), needle.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const AcceptedRows records = ShownRange(0, ShownCount());
    const long long n = static_cast<long long>(records.size());
    if (n == 0 || needle.empty()) return false;
    // From the selected row, or from just before (after) the page.
    const int selected = packetList->GetSelectedRow();
    long long from = selected >= 0 ? firstVisible + selected
                                   : forward ? firstVisible - 1 : firstVisible + packetList->GetItemCount();
    for (long long step = 1; step <= n; ++step) {
        const long long i = ((from + (forward ? step : -step)) % n + n) % n;
        if (!RecordHolds(*records[std::size_t(i)], needle)) continue;
        SetFollowNewest(false);
        ShowPageWith(std::size_t(i));
        packetList->SetSelectedRow(int(i - firstVisible));
        return true;
    }
    ShowMessageBox(kNotFoundText + text, MessageIcon::None);
    return false;
}

void CMainDlg::CopySelectedRows() {
    std::string lines;
    for (int row = packetList->GetNextItem(-1, LVNI_SELECTED); row >= 0; row = packetList->GetNextItem(row, LVNI_SELECTED)) {
        if (!lines.empty()) lines += '\n';
        for (int column = 0; column < 6; ++column) lines += (column ? "\t" : "") + packetList->GetItemString(row, column);
    }
    if (!lines.empty()) SetClipboardText(lines + '\n');
}
