// The main window's Find (Ctrl+F, F3, Shift+F3) and Copy (Ctrl+C).

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QShortcut>
#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/msgbox/MessageBox.h"
#include "dialogs/CMainDlg.h"
#include "dialogs/CTextLineDlg.h"
#include "skin/qt/CSkinControls.h"
#include "skin/qt/CSkinListCtrl.h"

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

}  // namespace

void CMainDlg::AddFindEntries() {
    systemMenu->addAction(QStringLiteral("F&ind...\tCtrl+F"), this, &CMainDlg::OnFind);
    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_F), [this] { OnFind(); }},
        {QKeySequence(Qt::Key_F3), [this] { if (!findText.isEmpty()) FindRecord(findText, true); }},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { if (!findText.isEmpty()) FindRecord(findText, false); }},
        {QKeySequence(Qt::CTRL | Qt::Key_C), [this] { CopySelectedRows(); }},
    };
    for (const auto& [sequence, run] : keys) {
        auto* key = new QShortcut(sequence, this);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, this, run);
    }
}

void CMainDlg::OnFind() {
    CTextLineDlg dialog(kFindDialog, findText.toStdString(), {}, this);
    if (dialog.DoModal() == IDOK && !dialog.Line().empty()) FindRecord(QString::fromStdString(dialog.Line()), true);
}

bool CMainDlg::FindRecord(const QString& text, bool forward) {
    findText = text;
    std::string needle = text.toLatin1().toStdString();
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
    ShowMessageBox(kNotFoundText + text.toStdString(), MessageIcon::None);
    return false;
}

void CMainDlg::CopySelectedRows() {
    QStringList lines;
    for (int row = packetList->GetNextItem(-1, LVNI_SELECTED); row >= 0; row = packetList->GetNextItem(row, LVNI_SELECTED)) {
        QStringList cells;
        for (int column = 0; column < 6; ++column) cells << packetList->GetItemText(row, column);
        lines << cells.join('\t');
    }
    if (!lines.isEmpty()) QGuiApplication::clipboard()->setText(lines.join('\n') + '\n');
}
